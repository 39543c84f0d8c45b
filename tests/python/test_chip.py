# The board and the chip: scan, bytes, registers and named fields.
import pytest

import dmmbench
from conftest import without_argument


def hex_line(data):
    return " ".join(f"{b:02X}" for b in data)


def test_chip_work_leaves_what_dmmctl_leaves(bench, dmmctl, tmp_path):
    board = bench.scan()
    assert board["connection"] == "bulk" and board["info"] == "VZSIM140"
    assert bench.fields.write("AD1OSR", 3) == 3
    assert bench.fields["AD1OSR"] == 3
    bench.write(0x40, b"\x5a")
    assert bench.reg(0x41, 0x12) == 0x12
    ours = [hex_line(bench.read(0x30, 16)), hex_line(bench.read(0x40, 2))]

    printed = dmmctl.ok(tmp_path / "ctl", "scan", "field", "AD1OSR", "3", "read", "0x30", "16",
                        "write", "0x40", "0x5a", "reg", "0x41", "0x12", "read", "0x40", "2")
    lines = printed.splitlines()
    assert f"board info: {board['info']}" in lines
    assert [lines[2], lines[3]] == ["3", ours[0]]
    assert lines[-1] == ours[1] == "5A 12"


def test_bad_input_is_refused_with_dmmctls_messages(bench, dmmctl, tmp_path):
    cases = [
        (lambda: bench.read("0x400", 1), ["read", "0x400", "1"]),
        (lambda: bench.read(0x3FF, 2), ["read", "0x3FF", "2"]),
        (lambda: bench.read(0x30, "12abc"), ["read", "0x30", "12abc"]),
        (lambda: bench.fields["NOPE"], ["field", "NOPE"]),
        (lambda: bench.fields.__setitem__("AD1OSR", 99), ["field", "AD1OSR", "99"]),
        (lambda: bench.write(0x40, [300]), ["write", "0x40", "300"]),
        (lambda: bench.capture(points=100), ["capture", "--points", "100"]),
        (lambda: bench.capture(timeout=float("nan")), ["capture", "--timeout", "nan"]),
        (lambda: bench.volts("1V", count=0), ["volts", "1V", "--count", "0"]),
        (lambda: bench.chamber.set(25, 120), ["chamber", "set", "25", "120"]),
        (lambda: bench.drift(count=0), ["drift", "--count", "0"]),
        (lambda: bench.counter(cta2="G0"), ["counter", "--cta2", "G0"]),
    ]
    for call, words in cases:
        with pytest.raises(dmmbench.RefusedError) as refused:
            call()
        theirs = dmmctl.refusal(tmp_path / "ctl", *words)
        assert without_argument(str(refused.value)) == without_argument(theirs), words
    # A refusal is also a ValueError, and changed nothing on the chip.
    assert issubclass(dmmbench.RefusedError, ValueError)
    assert bench.fields["AD1OSR"] == 0


def test_no_board_is_a_link_error(tmp_path):
    with dmmbench.open(dir=tmp_path / "real") as bench:
        with pytest.raises(dmmbench.LinkError, match="no board found"):
            bench.scan()


def test_register_map_names_the_chips_fields(bench):
    bench.load(0)
    names = set(bench.fields.keys())
    assert {"ENAD_S", "AD1OSR"} <= names
    assert "AD1OSR" in bench.fields
    described = bench.register_map()
    assert "AD1OSR" in str(described)


def test_the_counter_reads_the_simulated_cnti_pin(bench):
    # The pin carries 1 kHz at 30 % duty; Q is the window's 4052.
    lines = []
    run = bench.counter(2, input="cnti", on_progress=lambda p: lines.append(p.text))
    reading = {"frequency_hz": 1000.0, "duty_percent": 30.0, "high_time_us": 300.0,
               "q_per_f": 4.05}
    assert run == {"gate": "CTAI = 0x400000", "readings": [reading, reading]}
    assert lines[1] == "frequency 1000.00 Hz, duty 30.00 %, high time 300.00 us, Q/F 4.05"
    assert bench.fields["CNS"] == 1
