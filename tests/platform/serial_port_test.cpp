// The termios serial backend on an emulated USB serial adapter: the port listing, the
// line settings asked for, DTR, and line errors reported as the chip link reports them.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>

#include "core/app/bench_core.h"
#include "core/instruments/instruments.h"
#include "core/instruments/serial_line.h"
#include "fake_tty.h"
#include "platform/termios_serial_port.h"
#include "sim/sim_bench.h"
#include "sim/sim_power_supply.h"
#include "sim/sim_serial_chip.h"
#include "sim/stepped_clock.h"
#include "support/recording_ui_hooks.h"

namespace dmm::test {
extern std::mutex termiosRequestsMutex;
extern std::vector<termios> termiosRequests;

namespace {

class SerialAdapter : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(tty.Plug(bed, "ttyUSB0", "A50285BI", error)) << error;
        ComPortChoices choices;
        choices.pinned[0] = "/dev/ttyUSB0";
        channel.SetMap(ComPortMap::Build(
            {{"/dev/ttyUSB0", "ttyUSB0", "/dev/ttyUSB0", "", "", false}}, choices));
        clock.SetStep([this] { Pump(); });
    }
    void TearDown() override {
        clock.SetStep(nullptr);
        std::lock_guard lock(deviceMutex);
        device = nullptr;
    }

    // The instrument's turn: what the program sent, and what is due back.
    void Pump() {
        std::lock_guard lock(deviceMutex);
        if (!device) return;
        std::vector<uint8_t> in;
        uint8_t chunk[256];
        for (ssize_t n; (n = ::read(tty.fd(), chunk, sizeof chunk)) > 0;)
            in.insert(in.end(), chunk, chunk + n);
        device->Receive(clock.NowMs(), in, tty.Line());
        const std::vector<uint8_t> due = device->TakeDue(clock.NowMs());
        if (!due.empty()) {
            EXPECT_EQ(::write(tty.fd(), due.data(), due.size()), ssize_t(due.size()));
        }
    }

    sim::SteppedClock clock;
    FakeTty tty;
    DeviceBed bed;  // after the fake: destroyed first, with umockdev's thread
    platform::SystemSerialPorts opener;
    SerialChannel channel{opener};
    RecordingUiHooks hooks;
    std::mutex deviceMutex;
    sim::SimSerialDevice* device = nullptr;

    // The chip on the adapter's far end, reached through the RS232 interface kind at
    // 9600 baud; the chip link's status texts collect in shown.
    BenchCore& ChipLink() {
        chip.read = [](uint16_t address) { return static_cast<uint8_t>(address + 1); };
        chip.write = [this](uint16_t address, uint8_t value) { written[address] = value; };
        {
            std::lock_guard lock(deviceMutex);
            device = &chip;
        }
        chipBoard = std::make_unique<sim::SimBench>(clock);
        core = std::make_unique<BenchCore>(chipBoard->bus(), clock, nullptr, &opener);
        core->serial().SetMap(channel.Map());
        core->target().interfaceKind = InterfaceKind::RS232;
        core->target().serialBaudIndex = 5;
        core->chip().rs232().OnStatus = [this](const std::string& text) { shown.push_back(text); };
        EXPECT_TRUE(core->chipPort().OpenChipPort(core->target(), hooks));
        return *core;
    }
    sim::SimSerialChip chip;
    std::map<uint16_t, uint8_t> written;
    std::unique_ptr<sim::SimBench> chipBoard;
    std::unique_ptr<BenchCore> core;
    std::vector<std::string> shown;
};

TEST_F(SerialAdapter, TheListingNamesTheAdapterByItsSerialNumber) {
    const std::vector<SerialPortInfo> ports = platform::ListSystemSerialPorts();
    auto it = std::find_if(ports.begin(), ports.end(),
                           [](const SerialPortInfo& p) { return p.path == "/dev/ttyUSB0"; });
    ASSERT_NE(it, ports.end());
    EXPECT_EQ(it->name, "ttyUSB0");
    EXPECT_EQ(it->serialNumber, "A50285BI");
    EXPECT_FALSE(it->builtIn);
    const ComPortMap map = ComPortMap::Build(ports, {});
    const std::string text = map.SelectorText(0);
    EXPECT_EQ(text.rfind("COM1 \u2014 ttyUSB0", 0), 0u) << text;
    EXPECT_NE(text.find("'A50285BI'"), std::string::npos) << text;
}

TEST_F(SerialAdapter, TheLineIsRawWithTheFormatAskedFor) {
    DevcRS232 record;
    std::string why;
    ASSERT_TRUE(channel.Open(record, 0, "the test", why)) << why;
    {
        std::lock_guard lock(termiosRequestsMutex);
        termiosRequests.clear();
    }
    ASSERT_TRUE(record.handle->Configure({19200, 7, SerialParity::Even, 2}));
    termios asked{};
    {
        std::lock_guard lock(termiosRequestsMutex);
        ASSERT_FALSE(termiosRequests.empty());
        asked = termiosRequests.back();
    }
    EXPECT_EQ(asked.c_cflag & CSIZE, tcflag_t(CS7));
    EXPECT_TRUE(asked.c_cflag & PARENB);
    EXPECT_FALSE(asked.c_cflag & PARODD);
    EXPECT_TRUE(asked.c_cflag & CSTOPB);
    EXPECT_EQ(cfgetospeed(&asked), speed_t(B19200));
    EXPECT_TRUE((asked.c_iflag & (INPCK | PARMRK)) == (INPCK | PARMRK));
    EXPECT_FALSE(asked.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
    EXPECT_FALSE(asked.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_EQ(asked.c_cc[VMIN], 0);
    ASSERT_TRUE(record.handle->Configure({9600, 8, SerialParity::Odd, 0}));
    std::lock_guard lock(termiosRequestsMutex);
    EXPECT_TRUE(termiosRequests.back().c_cflag & PARODD);
    EXPECT_EQ(termiosRequests.back().c_cflag & CSIZE, tcflag_t(CS8));
}

TEST_F(SerialAdapter, AParityErrorOnTheChipsReplyIsShownAndTheReadFails) {
    BenchCore& core = ChipLink();

    // The data came with errors: not the chip's bytes.
    tty.MarkRead(2);  // the first read brings the sync answer, the second the data
    EXPECT_FALSE(core.chip().ReadChip(0x10, 2));
    EXPECT_EQ(shown, std::vector<std::string>{"Parity Fail"});
    EXPECT_EQ(core.chip().LastFailure(), "The chip's reply came with line errors");

    // An error on the sync answer is shown; the data that follows is clean and taken.
    shown.clear();
    tty.MarkRead(1);
    ASSERT_TRUE(core.chip().ReadChip(0x10, 2));
    EXPECT_EQ(shown, (std::vector<std::string>{"Parity Fail", ""}));
    EXPECT_EQ(core.chip().buffer()[0], 0x11);
    EXPECT_EQ(core.chip().buffer()[1], 0x12);

    // A write's answer with a parity error says so too; the chip has the byte.
    shown.clear();
    tty.MarkRead(2);
    core.chip().buffer()[5] = 0x77;
    core.chip().WriteChip(0x20, 1);
    EXPECT_EQ(shown, std::vector<std::string>{"Parity Fail"});
    EXPECT_EQ(written[0x20], 0x77);
}

TEST_F(SerialAdapter, ADriverWithLineCountersTellsFramingErrorsFromParityErrors) {
    tty.KeepLineCounters();
    BenchCore& core = ChipLink();

    tty.MarkRead(2, FakeTty::LineError::Framing);
    EXPECT_FALSE(core.chip().ReadChip(0x10, 2));
    EXPECT_EQ(shown, std::vector<std::string>{"Other Err"});
    EXPECT_EQ(core.chip().LastFailure(), "The chip's reply came with line errors");

    shown.clear();
    tty.MarkRead(2, FakeTty::LineError::Parity);
    EXPECT_FALSE(core.chip().ReadChip(0x10, 2));
    EXPECT_EQ(shown, std::vector<std::string>{"Parity Fail"});

    // The counters moved with those reads only: a clean read after them is clean.
    shown.clear();
    ASSERT_TRUE(core.chip().ReadChip(0x10, 1));
    EXPECT_EQ(shown, std::vector<std::string>{""});
    EXPECT_EQ(core.chip().buffer()[0], 0x11);
}

TEST_F(SerialAdapter, ThePowerSupplyListensOnceDtrIsSet) {
    sim::SimPowerSupply supply;
    supply.SetDtr(false);
    tty.onDtr = [&](bool dtr) {
        std::lock_guard lock(deviceMutex);
        supply.SetDtr(dtr);
    };
    device = &supply;
    Instruments instruments(channel, clock, hooks);
    ASSERT_TRUE(instruments.power().PowerSelectClick(0));
    EXPECT_EQ(tty.DtrChanges(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(tty.Dtr());
    EXPECT_TRUE(supply.remote());
    instruments.power().Close();

    // A cable whose DTR wire is broken: the supply never hears the program.
    tty.BreakDtrWire();
    supply.SetDtr(false);
    hooks.Clear();
    EXPECT_FALSE(instruments.power().PowerSelectClick(0));
    ASSERT_EQ(hooks.messages.size(), 1u);
    EXPECT_EQ(hooks.messages[0], "此通道連接的不是Power Supply!!");
    device = nullptr;
    tty.onDtr = nullptr;
}

}  // namespace
}  // namespace dmm::test
