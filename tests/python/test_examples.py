# The examples run on the simulated bench as a user runs them.
import os
import pathlib
import subprocess
import sys

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def run(script, tmp_path, *args):
    done = subprocess.run([sys.executable, str(EXAMPLES / script), "--dir", str(tmp_path / "b"),
                           *args], capture_output=True, text=True, timeout=300, cwd=tmp_path,
                          env=os.environ)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_noise_sweep_prints_a_row_per_oversampling(tmp_path):
    lines = run("noise_sweep.py", tmp_path, "--points", "256").splitlines()
    assert lines[0].split()[0] == "AD1OSR"
    assert [line.split()[0] for line in lines[1:9]] == [str(n) for n in range(8)]
    # Real noise, not a block stuck at full scale (no noise, every bit "effective").
    for line in lines[1:9]:
        noise, enob = float(line.split()[2]), float(line.split()[3])
        assert noise > 0 and enob < 24


def test_calibrator_tone_finds_the_50_hz_tone(tmp_path):
    out = run("calibrator_tone.py", tmp_path)
    assert out.splitlines()[:2] == ["OUT 100 mV ,50 Hz", "OPER"]
    fundamental = next(l for l in out.splitlines() if l.startswith("Fundamental (Hz)"))
    assert float(fundamental.split()[-1]) == 50.0


def test_two_temperature_drift_run_writes_its_files(tmp_path):
    out = run("drift_two_temperatures.py", tmp_path)
    assert "Done" in out
    assert (tmp_path / "b" / "VzTEMPA.CSV").exists()
