#pragma once

// What help() says about the dmmbench module: its threading contract and every argument.
namespace dmm::python::doc {

inline constexpr char kModule[] = R"(The dmmbench evaluation bench from Python.

The same bench as the dmmctl command line, with the same checks and messages:
the board and the chip's registers and named fields, ADC captures with their
noise and spectrum figures, the bench instruments, the temperature drift test,
the resistor and voltage calibration, the ohmmeter and the calibration sets.

    import dmmbench
    with dmmbench.open(sim=True) as bench:
        bench.fields["ENAD_S"] = 1
        block = bench.capture(points=4096, scale=20)
        print(block.figures["Enob"], block.samples.std())

Errors are exceptions with the program's own message: dmmbench.Error and its
kinds LinkError (the board or chip link), RefusedError (bad input; also a
ValueError), TimeoutError (also the builtin TimeoutError), InstrumentError and
StoppedError (Bench.stop()). What the bench says while it works (a read-back that
differs, a part of a run left out) comes as a dmmbench.BenchWarning.

Threads and interrupts. Each bench has a thread of its own on which all its work
runs, one call after another; a call waits for its work with the GIL released, so
other Python threads run meanwhile. Long calls (capture, drift, rescal, volts,
ohms, switch_test) stop cleanly on Ctrl-C or a notebook's "interrupt kernel" as
dmmctl's Ctrl-C does (the stream switched off, the heartbeat's state restored,
no half-written file; a drift run writes its files, stops the chamber and puts the
calibrator in standby) and then raise KeyboardInterrupt; Ctrl-C is seen only when
the call was made from the main thread. Bench.stop() stops the running call from
any thread (it then raises StoppedError or ends early as documented). Progress
callbacks (on_progress, progress) are called on the calling thread, between
waits; an exception they raise stops the work and is raised by the call. A bench
may be used from several threads: their calls run in turn. Several benches may be
open in one process; they share nothing. Blocks and run results do not change
after the call that made them and outlive their bench.
)";

inline constexpr char kOpen[] = R"(open(*, sim=False, dir=None, kind=None, ...) -> Bench

Opens a bench: the real board, or with sim=True the simulated board, chip and
instruments (which speak the real protocols). Use it as a context manager, or call
Bench.close().

sim            the simulated bench (sim_hid and sim_chip imply it)
dir            the bench directory (settings, INCLUDE/, result files); made when its
               parent exists, filled with the shipped chip descriptions when it has
               no INCLUDE/. Default: ~/.local/share/dmmbench.
kind           the chip's interface kind: "rs232", "spi", "special", "parallel",
               "uart" or "dmm" (default: the settings file's, else "dmm")
lpt            the parallel kind's port base: 0x378, 0x278 or 0x3BC
photo          the board is opto-coupled (default: as the settings file says)
com, baud, parity
               the chip's own serial link with kind="rs232": "COMn", baud rate,
               "none", "even" or "odd"
sim_hid        the simulated board in its HID personality
sim_chip       the simulated chip: "VZ6401" (the demo DMM chip) or "RX405" (the
               microcontroller of the switch test)
sim_tone       a tone on an input node: "PEAK_V,HZ[,NODE]" ("0.1,50")
sim_harmonics  harmonics of the simulated AC sources, dBc: "-60,-70"
sim_rx         the resistor on the ohmmeter's input: 4700 or "4.7k" (10k)
sim_speed      the simulated bench's clock this many times faster (1..1000); its
               instruments keep their reply times at any speed
sim_noiseless  converters without noise: the same figures on every run
sim_seed       the converters' noise seed, for a repeatable run (default: from the
               clock, each run differs)
sim_fault      a fault of the simulated bench, or a list of them:
               "TARGET:FAULT@START[+DURATION]" ("board:unplug@30+10",
               "meter2:vanish@60+3"; serial faults silent, garbage, split, slow,
               vanish on chip-link, calibrator, power, chamber, meter1..6 or COMn),
               or the RX405 firmware's "ready-stuck", "block-stuck", "never-ends",
               "status-fails", "setup-differs"
sim_log        append what the simulated calibrator, power supply and chamber are
               told to this file, a line each
sim_latency_ms what each exchange with the simulated board takes, 0..1000 ms
               (default: about 1 ms, a full-speed USB board's pace); 0 answers at
               once, to measure the host's own cost

Raises RefusedError for an option that is not valid or a bench directory that
cannot be used.)";

inline constexpr char kBench[] =
    R"(An open bench; see dmmbench.open() and the module's threading contract.)";
inline constexpr char kClose[] =
    R"(Closes the bench: the board is given up (out of DMM mode) and the simulators stop.
The instruments stay as the calls left them. Calls after it raise dmmbench.Error.)";
inline constexpr char kStop[] =
    R"(Asks the running call (a capture, a drift run, ...) to stop, from any thread.)";
inline constexpr char kScan[] = R"(Finds the board and says how it is connected, as `dmmctl scan`.

Returns a dict: connection ("bulk" or "hid"), device, vendor_id, product_id, info
(the board's info text) and, for bulk, pipe_in, pipe_out and packet_size, for HID,
release and report_length. Raises LinkError when no board answers.)";
inline constexpr char kRead[] = R"(read(address, count) -> bytes

Reads count (1..255) chip bytes from address (0x000..0x3FF).)";
inline constexpr char kWrite[] = R"(write(address, data)

Writes bytes to the chip from address: data is bytes or a sequence of numbers
0..255 (at most 255).)";
inline constexpr char kReg[] = R"(reg(address, value) -> int

Writes one register with read-back and returns the read-back; bits the chip did
not keep are said as a BenchWarning.)";
inline constexpr char kChips[] = R"(The chip selector: the chips of INCLUDE/VzSel.INC, by index.)";
inline constexpr char kLoad[] = R"(load(index) -> dict

Loads a chip of the chip list and says what it defines: product_title,
bit_registers, pages, byte_registers, word_registers, fields and summary (the
line `dmmctl load` prints).)";
inline constexpr char kRegisterMap[] =
    R"(The loaded register map and named fields, as `dmmctl map` prints them (a dict).
The selected chip is loaded first when none is.)";
inline constexpr char kFields[] =
    R"(The named fields of the loaded chip, read from and written to the chip:

    bench.fields["ENAD_S"] = 1     # read-modify-write of its register, read back
    bench.fields["AD1OSR"]         # read from the chip
    list(bench.fields)             # the names the chip binds

Names are the chip's own. A value the chip does not keep is said as a
BenchWarning; a name the chip does not bind, or a value too wide for the field,
raises RefusedError.)";
inline constexpr char kFieldsClass[] = R"(The named fields of a bench's chip; see Bench.fields.)";

inline constexpr char kCapture[] =
    R"(capture(points=256, source="adcs", *, stream=True, scale=24, vref=1.2,
        flag_reg=None, timeout=10.0, window="rect", spectra=1, strict=False,
        on_progress=None, progress=None) -> Block

Captures a block of conversion results and analyses it, as `dmmctl capture`.

points       capture length: 64, 128, ... 65536
source       the result register: "adcs" (ADC1), "adcf" (ADC2), "avg" (low-pass)
             or "rms"
stream       through the board's ADC stream, which keeps every result in order
             (the default); False polls the interrupt-flag register, which misses
             results of fast converters (the spectrum figures are then withheld)
scale        result bits b (8..24): the samples are results / 2^(24 - b)
vref         the reference voltage in volts, for the figures in volts
flag_reg     the interrupt-flag register's address, for chips whose description
             does not say where it is (polling needs it)
timeout      give up after this many seconds without a sample
window       window of the added spectrum figures: "rect", "hann", "bh4" (4-term
             Blackman-Harris) or "flattop"
spectra      spectra averaged for the noise spectrum, 1..16
strict       raise Error on a block saturated at full scale, without noise or
             with missed results
on_progress  called with a dmmbench.Progress (samples captured of the total)
             while the capture runs, on the calling thread
progress     a progress bar (tqdm's or any object with update(n) and total)

A capture that stops (Ctrl-C raises KeyboardInterrupt; Bench.stop() raises
StoppedError), times out (TimeoutError), loses the link (LinkError) or takes no
sample raises: a block is always complete. The board's stream is switched off
and the heartbeat's state restored however the capture ends.)";
inline constexpr char kBlock[] =
    R"(A captured block and its analysis; it does not change when the next capture
runs and outlives its bench.

samples   the results in counts of the scale (numpy, read-only, no copy)
figures   every figure by the name dmmctl prints it: the program's seven (mean,
          VPP(nV), RMS Noise(nV), Enob, VPP(count), RMS Noise(count), Noise Free)
          and the added ones (ENOB IEEE 1241, noise density, SNR, SINAD, THD, ...);
          None where the block cannot give one, with the reason in withheld
record    the capture's record (program, chip, board, registers, settings,
          instruments, every figure) as a dict
save_csv  the original's CSV pair and the record)";
inline constexpr char kSamples[] =
    R"(The block's results in counts of the scale (results / divisor), over which the
added figures are computed: a read-only numpy array sharing the block's memory.)";
inline constexpr char kFigures[] =
    R"(The figures by name: a float, or None where the block cannot give one (see
withheld for why). Figures a block has no use for (tone figures without a tone)
are left out, as dmmctl leaves them out.)";
inline constexpr char kRecord[] =
    R"(The capture's record as `dmmctl capture --json` prints it (a dict).)";
inline constexpr char kSaveCsv[] = R"(save_csv(path) -> list[str]

Writes the block to path (the decimal CSV file), the hex file VzADCHex.CSV to the
bench directory and the record to path + ".json", each through a temporary file.
Returns the paths written.)";

inline constexpr char kCalibrator[] = R"(The calibrator (Fluke 5500A); see dmmbench.Calibrator.)";
inline constexpr char kPower[] = R"(The power supply; see dmmbench.PowerSupply.)";
inline constexpr char kChamber[] = R"(The climate chamber; see dmmbench.Chamber.)";
inline constexpr char kMeters[] =
    R"(The reference meter channels: bench.meters[0] .. bench.meters[5].)";
inline constexpr char kCalibratorClass[] =
    R"(The calibrator. It is identified on first use (on the simulated bench at its own
port; otherwise give com= to identify() or send()).)";
inline constexpr char kPowerClass[] =
    R"(The power supply (HEWLETT-PACKARD); identified on first use, as the calibrator.)";
inline constexpr char kChamberClass[] =
    R"(The climate chamber; identified on first use, as the calibrator.)";
inline constexpr char kMeterClass[] =
    R"(A reference meter channel (BryMen); its port is selected on first use.)";
inline constexpr char kIdentifyInstrument[] = R"(identify(com=None) -> str

Runs the instrument's identification on a port ("COMn"; None: the simulated
bench's port of the instrument) and returns its message. For a meter channel, puts
the channel on the port. Raises InstrumentError when nothing answers.)";
inline constexpr char kCalibratorSend[] = R"(send(text, *, com=None) -> str

Sends a calibrator command ("OUT 100 mV ,50 Hz", "OPER", "STBY") and returns the
line that comes back.)";
inline constexpr char kPowerSend[] = R"(send(text, *, step=False, com=None) -> str | None

Sends a power supply command; returns the reply's first line for a query, None
for a setting. With step, sends it as a drift-test step ("OUTP ON" follows unless
it switches the output off).)";
inline constexpr char kChamberSet[] = R"(set(celsius, humidity, ramp=0.0, humidity_ramp=5.0)

Loads the chamber's set points: degC, %, degC/min and %/min.)";
inline constexpr char kChamberRead[] =
    R"(Reads the chamber: a dict of celsius, set_point and humidity.)";
inline constexpr char kMeterRead[] =
    R"(read(count=None, *, com=None) -> MeterReading | list[MeterReading]

One reading (or a list of count readings) of the meter: value (None when it
shows OL) and unit. Raises InstrumentError when the meter does not answer.)";
inline constexpr char kIdentify[] = R"(identify(instrument, com) -> str

Runs the identification of "fluke", "power" or "chamber" on a port ("COMn") and
returns its message, as `dmmctl identify`.)";
inline constexpr char kPorts[] = R"(ports(*, set=[], clear=[]) -> list[dict]

What COM1..COM16 mean on this machine (com, text as the selectors show it, path),
then the ports without a COM index. set pins ports ("COM3=usb-FTDI_..."), clear
gives indexes back ("COM3"); both are kept in the bench directory.)";
inline constexpr char kConfig[] =
    R"(The settings in use, as `dmmctl config` prints them: the settings file and
whether it is used, then chip, kind, com, baud, parity, lpt, photo and variant.)";

inline constexpr char kDrift[] =
    R"(drift(count=5, start=-40.0, step=10.0, soak_min=20, *, modes=1000, chamber=True,
      measure="adc", source="adcs", meters=[], power_delay_ms=2000, full=False,
      keep_fluke=False, resume=False, reconnect_wait_min=None, on_progress=None,
      progress=None) -> DriftRun

Runs the temperature drift test of the bench directory's step files (Register.txt,
Delay.txt, ACM.txt, Fluke.txt, Power.txt), with the same engine and files as
`dmmctl drift`: VzTEMPB.CSV after every mode, VzTEMPA.CSV at the end, a journal
that resume=True goes on from.

count, start, step  the plan: count temperatures from start, step degC apart (it
                    stops at 150 degC)
soak_min            minutes at each temperature before measuring
modes               rows of the mode table
chamber             False runs every step at once, without the chamber
measure             what each mode measures: "adc", "meters" or "both"
source              the capture source: "adcs", "adcf", "avg" or "rms"
meters              meter channels in use, 1..6
power_delay_ms      wait after a power supply step
full                also write every capture to TEMP/VzTMP-n.CSV
keep_fluke          no STBY before each calibrator step
resume              go on with the run interrupted in the bench directory
reconnect_wait_min  minutes the run waits for a board or instrument that dropped
                    out before it ends (default 10; a resumed run keeps its own
                    unless given)
on_progress         called with a dmmbench.Progress for every new phase
                    ("step 1 of 2: measuring mode 1 of 2"), on the calling thread
progress            a progress bar over the step-and-mode cells

Raises Error when the run does not finish with its files on disk (StoppedError
after Bench.stop(), KeyboardInterrupt after Ctrl-C; either way the files are
written, the chamber stopped and the calibrator put in standby).)";
inline constexpr char kCounter[] =
    R"(counter(count=5, *, range=None, input=None, cta2="C0", cta1="00", clock=None,
        q=None, on_progress=None, progress=None) -> dict

The program counter as `dmmctl counter` and the counter window run it: arms the
gate and reads count counter reports. Returns {"gate": "CTAI = 0x400000",
"readings": [...]}, each reading a dict of frequency_hz, duty_percent,
high_time_us and q_per_f (the capacitance figure Q / F), None where the counter
has no figure.

range        a capacitance range: "500nF", "5uF", "50uF", "500uF" or "10mF" (its
             register block, and its Q unless q is given)
input        the counter's input: "cnti" (the CNTI pin) or "cp_out" (the
             capacitance comparator); default: as the chip is set
cta2, cta1   the gate's reload bytes CTA<23:16> and CTA<15:8>: a number or its
             hexadecimal text
clock        the system clock in Hz (4915205)
q            the factor Q of the capacitance figure (4052, or the range's)
on_progress  called with a dmmbench.Progress for the gate and every reading
progress     a progress bar over the readings

Raises TimeoutError when no counter report comes for 6 s, StoppedError after
Bench.stop().)";
inline constexpr char kDriftRun[] =
    R"(What a drift run came to: outcome, steps, modes, measured, gaps and files.)";

inline constexpr char kSwitchTest[] =
    R"(switch_test(*, send_only=False, csv_dir=None, scale=24, timeout=600.0,
            on_progress=None, progress=None) -> SwitchTestRun

Runs the channel switch test of the bench directory's StepADC.txt on the
microcontroller's firmware (kind "spi", "special" or "uart"), as `dmmctl
switchtest`: sends the set-up (send_only stops there), runs it, fetches the
samples and writes VzADCSW0.CSV..VzADCSW7.CSV to csv_dir (the bench directory).
scale is the result bits; timeout the seconds the firmware has to end the run.)";
inline constexpr char kSwitchTestRun[] =
    R"(What a switch test gave: samples_read, tables (channel, samples, mean), folder.)";

inline constexpr char kRescal[] = R"(rescal(step="auto", *, cal_volts=None) -> dict

Measures the divider resistors from the 10 MOhm reference ("auto": all four, or
one step 1..4), then with cal_volts (the volts on the input) the volts per count,
as `dmmctl rescal`. ADC1 must run (fields["ENAD_S"] = 1). Returns R1M, R100K,
R10K, R1K in ohms and volts_per_count (None without cal_volts).)";
inline constexpr char kVolts[] = R"(volts(range, *, count=5, eptc=8000) -> list[float]

The DC voltmeter on the resistors rescal measured: range "1V", "10V", "100V" or
"1000V"; count readings in volts.)";
inline constexpr char kOhms[] = R"(ohms(range, *, count=5, cal=None) -> dict

The ohmmeter: range "50M", "5M", "500K", "50K", "5K" or "500", calibrated first
against the resistor cal (ohms) when given. Returns readings (ohms) and factor
(the range factor the calibration found, None without cal).)";
inline constexpr char kCalSets[] = R"(calsets(folder=None) -> CalSets

The calibration sets VZCONFIG-0.txt..VZCONFIG-9.txt of a folder (the bench
directory by default).)";
inline constexpr char kCalSetsClass[] =
    R"(The calibration sets of a folder: list(), apply(slot), offset(slot), gain(slot),
save(slot=None), as `dmmctl calset`.)";
inline constexpr char kCalSetMeasure[] = R"((slot, *, replace=False) -> list[float]

Measures the chip as it stands through the set's ADC1 or RMS path and saves the
mean into the set (offset: the zero reading, gain: the reference reading);
returns the two means (ADC1, RMS). A measurement short of samples saves nothing
and raises TimeoutError.)";
inline constexpr char kCalSetSave[] = R"(save(slot=None, *, replace=False) -> dict

Saves the chip's registers into a set (the first free slot without one); an
existing set is replaced only with replace=True. Returns slot and path.)";

inline constexpr char kProgress[] =
    R"(How far a long call has come: done of total (0 when unknown) and text, which
str() gives.)";

}  // namespace dmm::python::doc
