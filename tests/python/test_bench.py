# Opening and closing benches, several in one process, and the module without a display.
import os
import subprocess
import sys
import threading

import pytest

import dmmbench


def test_two_benches_share_nothing(open_bench):
    first, second = open_bench("first"), open_bench("second", sim_tone="0.1,50")
    first.write(0x40, b"\x5a")
    assert second.read(0x40, 1) == b"\x00"
    for bench in (first, second):
        bench.fields["ENAD_S"] = 1
        bench.fields["S_AD1RL"] = 2
        bench.fields["S_AD1IN"] = 3
    # Captures at once on both: each bench's own block.
    blocks = {}
    runs = [threading.Thread(target=lambda b=b: blocks.__setitem__(b, b.capture(points=512)))
            for b in (first, second)]
    for run in runs:
        run.start()
    for run in runs:
        run.join()
    assert blocks[first].figures["VPP(count)"] == 0
    assert blocks[second].figures["VPP(count)"] > 1000
    first.stop()  # a stop asked of one bench reaches no other
    assert second.capture(points=64).captured == 64


def test_a_closed_bench_refuses_calls(open_bench):
    with open_bench() as bench:
        bench.scan()
    assert bench.closed
    with pytest.raises(dmmbench.Error, match="the bench is closed"):
        bench.read(0, 1)


def test_bad_options_are_refused(tmp_path):
    for options, message in [({"kind": "usb"}, "usb"),
                             ({"parity": "mark"}, "mark"),
                             ({"sim_speed": 5000}, "sim_speed: 5000 is not a clock speed"),
                             ({"sim_latency_ms": -1}, "sim_latency_ms: -1 is not an exchange"),
                             ({"sim_tone": "abc,50"}, "sim-tone|sim_tone|tone"),
                             ({"dir": tmp_path / "missing" / "bench"}, "missing")]:
        with pytest.raises(dmmbench.RefusedError, match=message):
            dmmbench.open(sim=True, **options)


def test_the_module_needs_no_display(tmp_path):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    script = ("import dmmbench, sys\n"
              f"with dmmbench.open(sim=True, dir={str(tmp_path / 'b')!r}) as b:\n"
              "    print(b.scan()['info'])\n")
    done = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True,
                          text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "VZSIM140\n"


def test_help_explains_every_capture_argument():
    text = dmmbench.Bench.capture.__doc__
    for argument in ("points", "source", "stream", "scale", "vref", "flag_reg", "timeout",
                     "window", "spectra", "strict", "on_progress", "progress"):
        assert argument in text, argument
