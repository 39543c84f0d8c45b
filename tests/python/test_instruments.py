# The bench instruments, the resistor and voltage calibration, the ohmmeter and the
# calibration sets, beside dmmctl doing the same.
import pytest

import dmmbench

# ADC1 against VREF - FB, chopped: what the calibration reads.
ADC1_FIELDS = [("S_AD1RH", 2), ("AD1CHO", 1), ("ENAD_S", 1)]
ADC1_WORDS = [w for name, value in ADC1_FIELDS for w in ("field", name, str(value))]


def start_adc1(bench):
    for name, value in ADC1_FIELDS:
        bench.fields[name] = value


def test_instruments_answer_as_in_dmmctl(bench, dmmctl, tmp_path):
    assert bench.calibrator.send("OUT 100 mV ,50 Hz") == "OUT 100 mV ,50 Hz"
    bench.chamber.set(25.0, 50.0)
    chamber = bench.chamber.read()
    reading = bench.meters[0].read()
    bench.power.send("VOLT 5")
    volts = bench.power.send("VOLT?")
    printed = dmmctl.ok(tmp_path / "ctl", "chamber", "set", "25", "50", "chamber", "temp",
                        "meter", "0", "power", "VOLT 5", "power", "VOLT?").splitlines()
    assert chamber["set_point"] == 25.0 and chamber["humidity"] == 50.0
    assert printed[0].startswith("temperature ") and "(set point 25.0), humidity 50.0 %" in printed[0]
    assert str(reading) == printed[1] and reading.value == pytest.approx(0.3)
    assert volts == printed[2]
    with pytest.raises(IndexError):
        bench.meters[6]


def test_an_instrument_on_the_wrong_port_is_an_instrument_error(bench):
    with pytest.raises(dmmbench.InstrumentError, match="Fail Select Fluke COM1"):
        bench.calibrator.identify("COM1")
    with pytest.raises(dmmbench.RefusedError, match="COM1 to COM16"):
        bench.calibrator.send("OPER", com="LPT1")


def test_calibration_then_voltmeter_and_ohmmeter_as_in_dmmctl(open_bench, dmmctl, tmp_path):
    bench = open_bench(sim_rx="4.7k")
    with pytest.raises(dmmbench.RefusedError, match=r"ADC1 is off \(ENAD_S is 0\)"):
        bench.rescal()
    start_adc1(bench)
    resistors = bench.rescal("auto", cal_volts=0.3)
    volts = bench.volts("1V", count=3)
    ohms = bench.ohms("5K", cal=4700, count=3)
    printed = dmmctl.ok(tmp_path / "ctl", *ADC1_WORDS, "rescal", "auto", "--cal-volts", "0.3",
                        "volts", "1V", "--count", "3", "ohms", "5K", "--cal", "4700",
                        "--count", "3", options=["--sim-rx", "4.7k"]).splitlines()
    theirs = dict(line.split()[:2] for line in printed if line.startswith("R"))
    for name in ("R1M", "R100K", "R10K", "R1K"):
        assert f"{resistors[name]:.3f}" == theirs[name]
    assert resistors["R1M"] == pytest.approx(1e6, rel=1e-2)
    assert [f"{v:.4f} V" for v in volts] == [l for l in printed if l.endswith(" V")]
    assert volts == pytest.approx([0.3] * 3, abs=5e-4)
    assert ohms["readings"] == pytest.approx([4700] * 3, abs=5)


def test_calibration_sets(bench, tmp_path):
    start_adc1(bench)
    sets = bench.calsets()
    saved = sets.save()
    assert saved["slot"] == 0 and saved["path"].endswith("VZCONFIG-0.txt")
    listed = sets.list()
    assert [(s["slot"], s["state"]) for s in listed[:2]] == [(0, "set"), (1, "empty")]
    bench.fields["S_AD1IN"] = 3
    adc1, rms = sets.gain(0)
    assert abs(adc1) > 20000 and rms == 0
    # An existing set is replaced only when asked to.
    with pytest.raises(dmmbench.RefusedError):
        sets.save(0)
    assert sets.save(0, replace=True)["slot"] == 0
    with pytest.raises(dmmbench.Error, match="slot 4 holds no set"):
        sets.apply(4)
    assert sets.apply(0)["path"] == saved["path"]
    assert bench.fields["S_AD1IN"] == 3  # the set saved with it
