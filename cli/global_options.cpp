#include "cli/global_options.h"

#include "cli/verb.h"
#include "core/instruments/chip_port.h"
#include "core/link/parallel_link.h"
#include "headless/number_rules.h"
#include "sim/sim_options.h"

namespace dmm::cli {
namespace {

// The simulated ohmmeter's input resistor: what the ranges can show, and a margin.
constexpr RealRule kSimResistorRule{"a resistor", 0, 1e9, true, false, "R", "\u03A9", true};

// A port base the parallel kind knows: LPT1, LPT2 or PRN1.
CLI::Validator LptBase() {
    return CLI::Validator(
        [](std::string& text) {
            const auto base = ReadWhole(text, {"a port base", 0, 0xFFFF});
            if (base && IsLptPortBase(static_cast<uint16_t>(*base))) {
                text = std::to_string(*base);
                return std::string();
            }
            return Refusal(text, "a printer port base", "0x378, 0x278 or 0x3BC");
        },
        "0x378|0x278|0x3BC");
}

// One of the chip link's baud rates.
CLI::Validator ChipBaudRate() {
    std::string rates;
    for (int32_t rate : kChipBaudRates) rates += (rates.empty() ? "" : ", ") + std::to_string(rate);
    return CLI::Validator(
        [rates](std::string& text) {
            const auto rate = ReadWhole(text, {"a baud rate", 1, 1000000});
            if (rate && BaudIndexOf(static_cast<int32_t>(*rate)) >= 0) {
                text = std::to_string(*rate);
                return std::string();
            }
            return Refusal(text, "a baud rate of the chip link", rates);
        },
        "300..115200");
}

}  // namespace

void DefineGlobalOptions(CLI::App& app, GlobalOptions& options, GlobalFlags& flags) {
    app.add_flag("--sim", options.sim, "use the simulated board, chip and instruments");
    app.add_flag("--sim-hid", options.hid,
                 "use the simulated bench with the board on the bus as a HID device");
    app.add_option("--sim-chip", options.simChip,
                   "chip on the simulated board: VZ6401 (default) or RX405, the microcontroller "
                   "of the switch test (implies --sim)")
        ->check(CLI::IsMember({"VZ6401", "RX405"}, CLI::ignore_case));
    app.add_option("--dir", options.dir, "bench directory (settings, INCLUDE/, result files)");
    app.add_option("--kind", options.kind,
                   "chip interface kind (default: the settings file's, else dmm)")
        ->check(CLI::IsMember({"rs232", "spi", "special", "parallel", "uart", "dmm"}));
    app.add_option("--lpt", options.lpt,
                   "port base of --kind parallel: 0x378 (LPT1), 0x278 (LPT2) or 0x3BC (PRN1)")
        ->transform(LptBase());
    CLI::Option* photo = app.add_flag(
        "--photo", options.photo,
        "opto-coupled board (Photo option); without --photo or --no-photo, as the settings "
        "file says");
    app.add_flag("--no-photo", flags.noPhoto, "the board is not opto-coupled")->excludes(photo);
    app.add_option("--com", options.com, "the chip's serial port with --kind rs232 (COM1..COM16)")
        ->check(ComPort());
    app.add_option("--baud", options.baud, "the chip link's baud rate with --kind rs232")
        ->transform(ChipBaudRate());
    app.add_option("--parity", options.parity, "the chip link's parity with --kind rs232")
        ->check(CLI::IsMember({"none", "even", "odd"}));
    app.add_flag("--trace", options.trace, "print every packet sent (>) and received (<) in hex");
    app.add_option("--sim-speed", options.simSpeed,
                   "simulated bench: its clock runs N times faster than real time (1..1000)")
        ->transform(Real({"a clock speed", 1, 1000, false, false, "N"}));
    app.add_option("--sim-latency", options.simLatencyMs,
                   "simulated bench: milliseconds each exchange with the board takes (0..1000; "
                   "by default about 1, as a USB board)")
        ->transform(Whole(headless::kSimLatencyRule));
    app.add_flag("--sim-noiseless", options.simNoiseless,
                 "simulated bench: converters without noise, the same figures on every run");
    app.add_option("--sim-seed", options.simSeed,
                   "simulated bench: its converters draw their noise from seed N, the same "
                   "sequence in every run (by default each run draws its own)")
        ->check([](const std::string& text) {
            std::string error;
            return sim::ParseSimSeed(text, error) ? std::string() : error;
        });
    app.add_option("--sim-log", options.simLog,
                   "simulated bench: append what its calibrator, power supply and chamber are "
                   "told to FILE, a line each");
    app.add_option("--sim-tone", options.simTone,
                   "simulated bench: a tone PEAK_V,HZ[,NODE] on an input node (SENSE by default)")
        ->check([](const std::string& text) {
            std::string error;
            return sim::ParseSimTone(text, error) ? std::string() : error;
        });
    app.add_option("--sim-rx", options.simRx,
                   "simulated bench: the resistor on the ohmmeter's input (4700, 4.7k; 10k)")
        ->check([](const std::string& text) {
            std::string error;
            const auto ohms = sim::ParseSimResistor(text, error);
            if (!ohms) return error;
            return RealRefusal(*ohms, kSimResistorRule);
        });
    app.add_option("--sim-harmonics", options.simHarmonics,
                   "simulated bench: harmonics of its AC sources, dBc from the 2nd on (-60,-70)")
        ->check([](const std::string& text) {
            std::string error;
            return sim::ParseHarmonics(text, error) ? std::string() : error;
        });
    app.add_option("--sim-fault", options.simFaults,
                   "simulated bench: a fault, repeatable. TARGET:FAULT@START[+DURATION] "
                   "(board:unplug@30+10, board:power-cycle@2m+5s, meter2:vanish@60+3; serial "
                   "faults silent, garbage, split, slow, vanish on chip-link, calibrator, power, "
                   "chamber, meter1..6 or COMn), or the RX405 firmware's ready-stuck, "
                   "block-stuck, never-ends, status-fails, setup-differs")
        ->allow_extra_args(false)
        ->check([](const std::string& text) {
            std::string error;
            sim::SimBenchOptions options;
            return sim::ParseSimFault(text, options, error) ? std::string() : error;
        });
    app.add_flag("--bash-completion", flags.completion, "print a bash completion script and exit")
        ->group("");
}

}  // namespace dmm::cli
