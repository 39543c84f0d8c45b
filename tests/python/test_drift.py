# The drift test from Python: dmmctl's engine and files, stopped and resumed.
import pytest

import dmmbench

STEP_FILES = {
    "Register.txt": "  3C  3E  24\r\n  84  10  30\r\n  94  10  30\r\n",
    "Delay.txt": "     1\r\n     1\r\n",
    "ACM.txt": "   1.2\r\n   1.2\r\n",
    "Fluke.txt": "   1OUT 100 mV ,0 Hz\r\n   1OUT 200 mV ,0 Hz\r\n",
}
PLAN = {"count": 3, "start": 25, "step": 5, "chamber": False}
FILES = ("VzTEMPA.CSV", "VzTEMPB.CSV")


def bench_directory(path):
    path.mkdir()
    for name, text in STEP_FILES.items():
        (path / name).write_bytes(text.encode())
    return path


def test_a_stopped_run_resumes_to_dmmctls_files(open_bench, dmmctl, tmp_path):
    whole = bench_directory(tmp_path / "ctl")
    dmmctl.ok(whole, "drift", "--no-chamber", "--count", "3", "--start", "25", "--step", "5",
              speed=100)

    broken = bench_directory(tmp_path / "py")
    bench = open_bench(dir=broken, sim_speed=100)
    lines = []

    def stop_midway(progress):
        lines.append(progress.text)
        if "step 2 of 3: measuring mode 2 of 2" in progress.text:
            bench.stop()

    with pytest.raises(dmmbench.StoppedError, match="Stopped at step 2 of 3"):
        bench.drift(**PLAN, on_progress=stop_midway)
    assert "2 modes from Register.txt, 3 temperatures" in lines
    run = bench.drift(**PLAN, resume=True)
    assert run.outcome.startswith("Done")
    assert run.steps == 3 and run.modes == 2
    for name in FILES:
        assert (broken / name).read_bytes() == (whole / name).read_bytes(), name
    assert sorted(p.rsplit("/", 1)[-1] for p in run.files) == sorted(FILES)


def test_a_run_that_cannot_be_is_refused(bench):
    with pytest.raises(dmmbench.RefusedError, match="measure must be adc, meters or both"):
        bench.drift(count=1, chamber=False, measure="volts")
    with pytest.raises(dmmbench.Error, match="no interrupted drift run to resume"):
        bench.drift(count=1, chamber=False, resume=True)


def test_a_board_that_stays_away_ends_the_run_resumable(open_bench, dmmctl, tmp_path):
    whole = bench_directory(tmp_path / "ctl")
    dmmctl.ok(whole, "drift", "--no-chamber", "--count", "3", "--start", "25", "--step", "5",
              speed=100)

    # Unplugged for good 40 s into the bench's time: the run waits its minute, then ends
    # with its journal; a bench whose board is back goes on from there.
    broken = bench_directory(tmp_path / "py")
    lost = open_bench(dir=broken, sim_speed=10, sim_fault=["board:unplug@40"])
    lines = []
    with pytest.raises(dmmbench.Error, match="the board did not come back within 1 minutes"):
        lost.drift(**PLAN, reconnect_wait_min=1, on_progress=lambda p: lines.append(p.text))
    assert any("waits for the board" in line for line in lines), lines
    lost.close()
    run = open_bench(dir=broken, sim_speed=100).drift(**PLAN, resume=True)
    assert run.outcome.startswith("Done")
    for name in FILES:
        assert (broken / name).read_bytes() == (whole / name).read_bytes(), name
