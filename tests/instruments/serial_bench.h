#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "core/instruments/instruments.h"
#include "core/instruments/serial_line.h"
#include "platform/termios_serial_port.h"
#include "sim/pty_port.h"
#include "sim/sim_bench.h"
#include "sim/sim_dmm_chip.h"
#include "sim/sim_instruments.h"
#include "sim/stepped_clock.h"
#include "support/recording_ui_hooks.h"

namespace dmm::test {

// The real serial backend, counting how often each path was opened.
class CountingOpener final : public SerialPortOpener {
  public:
    std::unique_ptr<SerialPort> Open(const std::string& path, std::string& error) override {
        ++opens[path];
        return real.Open(path, error);
    }
    platform::SystemSerialPorts real;
    std::map<std::string, int> opens;
};

inline std::unique_ptr<sim::SimChip> DemoDmmChip() {
    std::string error;
    return sim::SimDmmChip::FromDescriptionFile(
        FindFileCaseInsensitive(IncludeDirectory(ShippedDataDirectory()), sim::kDemoDmmDescription),
        &error);
}

// The simulated serial bench on stepped virtual time, reached through the real termios
// backend: the program's side and the instruments take turns at every sleep, so each
// exchange runs the same way every time and time-outs cost no real time.
struct SerialBench {
    SerialBench()
        : board(clock, DemoDmmChip()),
          sim(clock, &board.board()),
          instruments(channel, clock, hooks) {
        channel.SetMap(sim.Map());
        channel.SetPortSource([this] {
            return SerialChannel::PortListing{sim.Ports(), sim.Choices()};
        });
        clock.SetStep([this] { sim.Pump(); });
        // Exact node levels for the tests that read them back.
        if (auto* dmm = dynamic_cast<sim::SimDmmChip*>(&board.chip())) dmm->nodes().noise = false;
    }
    ~SerialBench() { clock.SetStep(nullptr); }

    sim::SimDmmChip* dmm() { return dynamic_cast<sim::SimDmmChip*>(&board.chip()); }
    int64_t Elapsed(int64_t since) const { return clock.NowMs() - since; }

    sim::SteppedClock clock;
    sim::SimBench board;
    sim::SimInstruments sim;
    CountingOpener opener;
    SerialChannel channel{opener};
    RecordingUiHooks hooks;
    Instruments instruments;
};

// One pseudo-terminal with a device the test scripts: it answers whatever arrives with
// the bytes the test gives it.
class ScriptedDevice final : public sim::SimSerialDevice {
  public:
    std::vector<uint8_t> answer;
    int64_t thinkMs = 5;
    std::vector<uint8_t> received;
    std::string Describe() const override { return "scripted device"; }

  protected:
    void OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) override {
        received.insert(received.end(), bytes.begin(), bytes.end());
        Reply(nowMs, thinkMs, answer);
    }
};

struct ScriptedLine {
    ScriptedLine() {
        clock.SetStep([this] { Pump(); });
        ComPortChoices choices;
        choices.pinned[0] = pty.path();
        channel.SetMap(
            ComPortMap::Build({{pty.path(), "pty", pty.path(), "scripted", "", false}}, choices));
        std::string why;
        opened = channel.Open(record, 0, "the test", why) && record.handle->Configure({});
    }
    ~ScriptedLine() { clock.SetStep(nullptr); }
    void Pump() {
        device.Receive(clock.NowMs(), pty.TakeInput(), pty.Line());
        const std::vector<uint8_t> due = device.TakeDue(clock.NowMs());
        if (!due.empty()) pty.Send(due);
    }
    // Bytes that wait on the line before the exchange starts.
    void Preload(const std::string& bytes) {
        pty.Send(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    void Answer(const std::string& bytes) { device.answer.assign(bytes.begin(), bytes.end()); }

    sim::SteppedClock clock;
    sim::PtyPort pty;
    ScriptedDevice device;
    platform::SystemSerialPorts opener;
    SerialChannel channel{opener};
    DevcRS232 record;
    bool opened = false;
};

}  // namespace dmm::test
