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
        """What dmmctl says when it refuses the verb's input, without the program's name
        (a value that is not valid exits 105, a refusal found on the bench 1)."""
        done = self.run(directory, *words)
        assert done.returncode in (1, 105), done.stdout + done.stderr
        lines = [l for l in done.stderr.splitlines() if not l.startswith("Run with --help")]
        program, _, message = lines[-1].partition(": ")
        assert program.startswith("dmmctl"), done.stderr
        return message


def without_argument(message):
    """A refusal without the name of the argument it is about ("--count: ", "count: "):
    dmmctl names its options, a script its keywords."""
    name, colon, rest = message.partition(": ")
    return rest if colon and " " not in name else message


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
