# Captures: figures, samples, files, progress, and captures stopped midway.
import _thread
import json
import threading

import numpy as np
import pytest

import dmmbench

# The calibrator's 100 mV on the converter's input: without noise, the same block on
# every run, in dmmctl as in Python.
CALIBRATOR = ["OUT 100 mV ,0 Hz", "OPER"]
INPUT_FIELDS = {"ENAD_S": 1, "S_AD1RL": 2, "S_AD1IN": 3}
DMMCTL_WORDS = [w for line in CALIBRATOR for w in ("fluke", line)] + \
    [w for name, value in INPUT_FIELDS.items() for w in ("field", name, str(value))]


def calibrator_bench(open_bench, **options):
    bench = open_bench(**options)
    for line in CALIBRATOR:
        assert bench.calibrator.send(line) == line
    for name, value in INPUT_FIELDS.items():
        bench.fields[name] = value
    return bench


# A bench clock many times faster than the host lets the board's stream fall behind the
# converter on a busy machine, and the spectrum's figures are then rightly withheld: the
# spectra are compared at the bench's own pace, where every result arrives.
def test_figures_equal_dmmctls(open_bench, dmmctl, tmp_path):
    block = calibrator_bench(open_bench, sim_speed=1).capture(points=1024, scale=20, window="bh4")
    printed = dmmctl.ok(tmp_path / "ctl", *DMMCTL_WORDS, "capture", "--points", "1024",
                        "--scale", "20", "--window", "bh4", "--json", speed=1)
    figures = json.loads(printed[printed.index("{"):])["figures"]
    theirs = {**figures["program"], **figures["added"]}
    theirs.update({name: None for name in figures["withheld"]})
    assert block.figures == pytest.approx(theirs, rel=1e-12)
    assert block.withheld == figures["withheld"]
    assert block.figures["mean"] < -1000
    assert block.captured == len(block) == len(block.samples) == 1024
    assert block.record["capture"]["points"] == 1024


def test_a_tone_gets_its_figures(open_bench):
    # With the converter's noise: the harmonics stand above a noise floor.
    bench = open_bench(sim_tone="0.1,50", sim_harmonics="-50,-60", sim_noiseless=False,
                       sim_speed=1)
    for name, value in INPUT_FIELDS.items():
        bench.fields[name] = value
    figures = bench.capture(points=1024, window="bh4").figures
    assert figures["H2 (dBc)"] == pytest.approx(-50, abs=0.5)
    assert figures["Fundamental (Hz)"] == pytest.approx(50)


def test_samples_are_the_blocks_own_memory(bench):
    bench.fields["ENAD_S"] = 1
    block = bench.capture(points=256)
    first, second = block.samples, block.samples
    assert first.__array_interface__["data"][0] == second.__array_interface__["data"][0]
    assert not first.flags.writeable and not first.flags.owndata
    bench.close()
    del block
    # The array keeps the block alive after the block and the bench are gone.
    assert np.all(first == second) and first.dtype == np.float64


def test_save_csv_writes_the_files_dmmctl_writes(open_bench, dmmctl, tmp_path):
    bench = calibrator_bench(open_bench)
    written = bench.capture(points=256, scale=16).save_csv(tmp_path / "run1.csv")
    assert written == [str(tmp_path / n) for n in ("run1.csv", "bench/VzADCHex.CSV", "run1.csv.json")]
    theirs = tmp_path / "theirs.csv"
    dmmctl.ok(tmp_path / "ctl", *DMMCTL_WORDS, "capture", "--points", "256", "--scale", "16",
              "--csv", str(theirs))
    assert (tmp_path / "run1.csv").read_bytes() == theirs.read_bytes()
    assert (tmp_path / "bench" / "VzADCHex.CSV").read_bytes() == \
        (tmp_path / "ctl" / "VzADCHex.CSV").read_bytes()
    with pytest.raises(dmmbench.Error, match="choose another"):
        bench.capture(points=64).save_csv(tmp_path / "bench" / "VzADCHex.CSV")


def test_bad_capture_options_are_refused_before_the_capture(bench):
    for options, message in [({"points": 100}, "points: 100 is not a capture length"),
                             ({"scale": 30}, "scale: 30 is not a number of result bits"),
                             ({"vref": -1}, "vref: -1 is not"),
                             ({"window": "kaiser"}, "window must be"),
                             ({"source": "adcx"}, "source must be"),
                             ({"spectra": 0}, "spectra: 0 is not")]:
        with pytest.raises(dmmbench.RefusedError, match=message):
            bench.capture(**options)


def test_a_capture_without_samples_times_out(bench):
    # The converter is off: nothing comes.
    with pytest.raises(dmmbench.TimeoutError, match="capture ended early"):
        bench.capture(points=64, timeout=0.5)


def ends_cleanly(bench):
    # The stream is off and the heartbeat runs again: the next capture is whole.
    block = bench.capture(points=128)
    assert block.captured == 128


def test_stop_from_another_thread_ends_the_capture_cleanly(bench, tmp_path):
    bench.fields["ENAD_S"] = 1
    seen = []
    threading.Timer(1.0, bench.stop).start()
    with pytest.raises(dmmbench.StoppedError, match="capture stopped by a stop request after"):
        bench.capture(points=65536, on_progress=seen.append)
    assert 0 < seen[-1].done < 65536
    ends_cleanly(bench)


def test_keyboard_interrupt_ends_the_capture_cleanly(bench):
    bench.fields["ENAD_S"] = 1
    threading.Timer(1.0, _thread.interrupt_main).start()
    with pytest.raises(KeyboardInterrupt):
        bench.capture(points=65536)
    ends_cleanly(bench)


def test_progress_reaches_the_calling_thread_and_a_bar(bench):
    bench.fields["ENAD_S"] = 1
    threads = set()
    seen = []

    def on_progress(p):
        threads.add(threading.get_ident())
        seen.append(p)

    class Bar:
        total = None
        n = 0

        def update(self, n):
            self.n += n

    bar = Bar()
    bench.capture(points=2048, on_progress=on_progress, progress=bar)
    assert threads == {threading.get_ident()}
    assert (seen[-1].done, seen[-1].total) == (2048, 2048)
    assert (bar.n, bar.total) == (2048, 2048)


def test_a_callback_that_raises_stops_the_capture(bench):
    bench.fields["ENAD_S"] = 1

    def give_up(progress):
        raise RuntimeError("enough")

    with pytest.raises(RuntimeError, match="enough"):
        bench.capture(points=65536, on_progress=give_up)
    ends_cleanly(bench)
