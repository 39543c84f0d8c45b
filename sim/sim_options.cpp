#include "sim/sim_options.h"

#include <charconv>
#include <cmath>
#include <mutex>

#include "sim/sim_bench.h"
#include "sim/sim_dmm_chip.h"

namespace dmm::sim {
namespace {

std::vector<std::string_view> Split(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        parts.push_back(
            text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

std::optional<double> Number(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<SimToneOption> ParseSimTone(std::string_view text, std::string& error) {
    const std::vector<std::string_view> parts = Split(text);
    if (parts.size() < 2 || parts.size() > 3) {
        error = "a tone is PEAK_VOLTS,HERTZ[,NODE]";
        return std::nullopt;
    }
    const auto peak = Number(parts[0]);
    const auto hertz = Number(parts[1]);
    if (!peak || *peak <= 0) {
        error = "the tone's peak voltage must be a positive number of volts";
        return std::nullopt;
    }
    if (!hertz || *hertz <= 0) {
        error = "the tone's frequency must be a positive number of hertz";
        return std::nullopt;
    }
    SimToneOption option;
    option.tone.peakVolts = *peak;
    option.tone.frequencyHz = *hertz;
    if (parts.size() == 3) {
        if (parts[2].empty()) {
            error = "the tone's node is empty";
            return std::nullopt;
        }
        option.node = std::string(parts[2]);
    }
    return option;
}

std::optional<std::vector<double>> ParseHarmonics(std::string_view text, std::string& error) {
    std::vector<double> levels;
    for (std::string_view part : Split(text)) {
        const auto level = Number(part);
        if (!level || *level > 0) {
            error = "harmonic levels are dBc at most 0, separated by commas: -60,-70";
            return std::nullopt;
        }
        levels.push_back(*level);
    }
    return levels;
}

std::optional<uint64_t> ParseSimSeed(std::string_view text, std::string& error) {
    uint64_t seed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        error = "a seed is a whole number from 0 to 18446744073709551615";
        return std::nullopt;
    }
    return seed;
}

std::optional<double> ParseSimResistor(std::string_view text, std::string& error) {
    double multiplier = 1.0;
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K')) multiplier = 1e3;
    if (!text.empty() && text.back() == 'M') multiplier = 1e6;
    if (multiplier != 1.0) text.remove_suffix(1);
    const auto ohms = Number(text);
    if (!ohms || *ohms <= 0) {
        error = "a resistor is a positive number of ohms: 4700, 4.7k or 1.5M";
        return std::nullopt;
    }
    return *ohms * multiplier;
}

std::optional<SwitchTestFirmwareFaults> ParseFirmwareFaults(std::string_view text,
                                                            std::string& error) {
    SwitchTestFirmwareFaults faults;
    const std::pair<std::string_view, bool SwitchTestFirmwareFaults::*> kNames[] = {
        {"ready-stuck", &SwitchTestFirmwareFaults::readyStuck},
        {"block-stuck", &SwitchTestFirmwareFaults::blockStuck},
        {"never-ends", &SwitchTestFirmwareFaults::neverFinishes},
        {"status-fails", &SwitchTestFirmwareFaults::statusReadFails},
        {"setup-differs", &SwitchTestFirmwareFaults::setupReadBackDiffers}};
    for (std::string_view part : Split(text)) {
        bool known = false;
        for (const auto& [name, flag] : kNames) {
            if (part != name) continue;
            faults.*flag = true;
            known = true;
        }
        if (!known) {
            error = "no firmware fault '" + std::string(part) +
                    "' (ready-stuck, block-stuck, never-ends, status-fails, setup-differs)";
            return std::nullopt;
        }
    }
    return faults;
}

namespace {

// "90", "90s", "500ms", "2m", "1h": milliseconds, never negative.
std::optional<int64_t> Duration(std::string_view text) {
    int64_t unitMs = 1000;
    for (const auto& [suffix, ms] : {std::pair<std::string_view, int64_t>{"ms", 1},
                                     {"s", 1000},
                                     {"m", 60000},
                                     {"h", 3600000}}) {
        if (text.size() > suffix.size() && text.ends_with(suffix)) {
            unitMs = ms;
            text.remove_suffix(suffix.size());
            break;
        }
    }
    const auto value = Number(text);
    if (!value || *value < 0 || *value * static_cast<double>(unitMs) > 1e15) return std::nullopt;
    return static_cast<int64_t>(std::llround(*value * static_cast<double>(unitMs)));
}

// The serial device a target names: its role or its COM port on the simulated bench.
std::optional<int> SerialDevice(std::string_view target) {
    static constexpr std::pair<std::string_view, int> kRoles[] = {
        {"chip-link", 0}, {"calibrator", 1}, {"power", 2}, {"chamber", 3}};
    for (const auto& [name, device] : kRoles)
        if (target == name) return device;
    auto numbered = [&](std::string_view prefix, int first, int count) -> std::optional<int> {
        if (!target.starts_with(prefix)) return std::nullopt;
        const auto n = Number(target.substr(prefix.size()));
        if (!n || *n != std::floor(*n) || *n < 1 || *n > count) return std::nullopt;
        return first + static_cast<int>(*n) - 1;
    };
    if (auto meter = numbered("meter", 4, 6)) return meter;
    return numbered("COM", 0, 10);
}

constexpr char kTimedFaultForm[] =
    "a timed fault is TARGET:FAULT@START[+DURATION], e.g. board:unplug@30+10, "
    "meter2:vanish@2m+5s (board faults: unplug, power-cycle; serial faults: silent, garbage, "
    "split, slow, vanish)";

std::optional<TimedSimFault> ParseTimedFault(std::string_view text, std::string& error) {
    const size_t colon = text.find(':');
    const size_t at = text.find('@');
    if (colon == std::string_view::npos || at == std::string_view::npos || at < colon) {
        error = kTimedFaultForm;
        return std::nullopt;
    }
    const std::string_view target = text.substr(0, colon);
    const std::string_view fault = text.substr(colon + 1, at - colon - 1);
    std::string_view times = text.substr(at + 1);
    TimedSimFault timed;
    if (target == "board") {
        if (fault == "unplug")
            timed.kind = SimFaultKind::Unplug;
        else if (fault == "power-cycle")
            timed.kind = SimFaultKind::PowerCycle;
        else {
            error = "no board fault '" + std::string(fault) + "' (unplug, power-cycle)";
            return std::nullopt;
        }
    } else if (const auto device = SerialDevice(target)) {
        timed.device = *device;
        static constexpr std::pair<std::string_view, SimFaultKind> kFaults[] = {
            {"silent", SimFaultKind::Silent},
            {"garbage", SimFaultKind::Garbage},
            {"split", SimFaultKind::Split},
            {"slow", SimFaultKind::Slow},
            {"vanish", SimFaultKind::Vanish}};
        bool known = false;
        for (const auto& [name, kind] : kFaults) {
            if (fault != name) continue;
            timed.kind = kind;
            known = true;
        }
        if (!known) {
            error = "no serial device fault '" + std::string(fault) +
                    "' (silent, garbage, split, slow, vanish)";
            return std::nullopt;
        }
    } else {
        error = "no simulated device '" + std::string(target) +
                "' (board, chip-link, calibrator, power, chamber, meter1..meter6, COM1..COM10)";
        return std::nullopt;
    }
    const size_t plus = times.find('+');
    const auto start = Duration(times.substr(0, plus));
    const auto length = plus == std::string_view::npos ? std::optional<int64_t>(-1)
                                                       : Duration(times.substr(plus + 1));
    if (!start || !length) {
        error = "a fault's start and duration are times: 30, 90s, 500ms, 2m, 1h";
        return std::nullopt;
    }
    timed.atMs = *start;
    timed.forMs = *length;
    return timed;
}

}  // namespace

bool ParseSimFault(std::string_view text, SimBenchOptions& options, std::string& error) {
    SimBenchOptions parsed = options;
    for (std::string_view part : Split(text)) {
        if (part.find('@') != std::string_view::npos || part.find(':') != std::string_view::npos) {
            const auto timed = ParseTimedFault(part, error);
            if (!timed) return false;
            parsed.timedFaults.push_back(*timed);
            continue;
        }
        std::string why;
        const auto firmware = ParseFirmwareFaults(part, why);
        if (!firmware) {
            error = why + "; " + kTimedFaultForm;
            return false;
        }
        SwitchTestFirmwareFaults& into =
            parsed.firmwareFaults ? *parsed.firmwareFaults
                                  : parsed.firmwareFaults.emplace(SwitchTestFirmwareFaults{});
        into.readyStuck |= firmware->readyStuck;
        into.blockStuck |= firmware->blockStuck;
        into.neverFinishes |= firmware->neverFinishes;
        into.statusReadFails |= firmware->statusReadFails;
        into.setupReadBackDiffers |= firmware->setupReadBackDiffers;
    }
    options = std::move(parsed);
    return true;
}

bool ApplySimOptions(SimBench& bench, const SimBenchOptions& options, std::string& error) {
    if (options.firmwareFaults) {
        auto* firmware = dynamic_cast<SwitchTestFirmware*>(&bench.chip());
        if (!firmware) {
            error = "the simulated chip runs no switch test firmware (--sim-chip RX405)";
            return false;
        }
        std::lock_guard lock(bench.board().mutex());
        firmware->faults() = *options.firmwareFaults;
    }
    if (options.seed) {
        std::lock_guard lock(bench.board().mutex());
        bench.chip().SeedNoise(*options.seed);
    }
    if (!options.tone && !options.harmonicsDbc && !options.externalOhms && !options.noiseless)
        return true;
    auto* chip = dynamic_cast<SimDmmChip*>(&bench.chip());
    if (!chip) {
        error = "the simulated chip has no analog inputs (its description is missing)";
        return false;
    }
    std::lock_guard lock(bench.board().mutex());
    AnalogNodes& nodes = chip->nodes();
    if (options.harmonicsDbc) nodes.sourceHarmonicsDbc = *options.harmonicsDbc;
    if (options.tone) nodes.tones[options.tone->node] = options.tone->tone;
    if (options.externalOhms) nodes.externalOhms = *options.externalOhms;
    if (options.noiseless) nodes.noise = false;
    return true;
}

}  // namespace dmm::sim
