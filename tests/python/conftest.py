# The simulated bench from Python, and dmmctl beside it doing the same work.
import os
import subprocess

import pytest

import dmmbench

# Fast enough for tests, slow enough that a long capture can be stopped midway.
SIM_SPEED = 20


class Dmmctl:
    """dmmctl on a simulated bench of its own, in the bench directory the test gives."""

    def __init__(self, path):
        self.path = path

    def run(self, directory, *words, options=(), speed=SIM_SPEED):
        args = [self.path, "--sim", "--sim-noiseless", "--sim-speed", str(speed),
                "--dir", str(directory), *options, *words]
        return subprocess.run(args, capture_output=True, text=True, timeout=300)

    def ok(self, directory, *words, options=(), speed=SIM_SPEED):
        done = self.run(directory, *words, options=options, speed=speed)
        assert done.returncode == 0, done.stderr
        return done.stdout

    def refusal(self, directory, *words):
        """The message of the verb's failure, without the program's name."""
        done = self.run(directory, *words)
        assert done.returncode == 1, done.stdout + done.stderr
        last = done.stderr.strip().splitlines()[-1]
        assert last.startswith("dmmctl: "), done.stderr
        return last[len("dmmctl: "):]


@pytest.fixture
def dmmctl():
    path = os.environ.get("DMMCTL")
    if not path:
        pytest.skip("DMMCTL names no dmmctl to compare with")
    return Dmmctl(path)


@pytest.fixture
def open_bench(tmp_path):
    """Opens simulated benches (each in a bench directory of its own unless told);
    closes them after the test."""
    opened = []

    def opener(name="bench", **options):
        options.setdefault("sim", True)
        options.setdefault("sim_noiseless", True)
        options.setdefault("sim_speed", SIM_SPEED)
        options.setdefault("dir", tmp_path / name)
        bench = dmmbench.open(**options)
        opened.append(bench)
        return bench

    yield opener
    for bench in opened:
        bench.close()


@pytest.fixture
def bench(open_bench):
    return open_bench()
