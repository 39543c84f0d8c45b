// The ppdev backend, unmodified, against /dev/parportN nodes that umockdev emulates,
// answered by the simulated port and its two-wire chip; and the choice of the node.
#include <gtest/gtest.h>
#include <linux/parport.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core/app/bench_core.h"
#include "fake_ppdev.h"
#include "platform/parport_map.h"
#include "platform/ppdev_port_bus.h"
#include "sim/sim_bus.h"

namespace dmm::test {
namespace {

namespace fs = std::filesystem;

// A stand-in for /proc/sys/dev/parport: parportN folders with their base-addr files.
class ProcParports {
  public:
    ProcParports() {
        std::string pattern = (fs::temp_directory_path() / "parports-XXXXXX").string();
        if (mkdtemp(pattern.data())) dir_ = pattern;
        fs::create_directories(dir_ / "default");
    }
    ~ProcParports() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    void Add(int number, const std::string& baseAddr) {
        const fs::path port = dir_ / ("parport" + std::to_string(number));
        fs::create_directories(port);
        std::ofstream(port / "base-addr") << baseAddr;
    }
    std::string path() const { return dir_.string(); }

  private:
    fs::path dir_;
};

class PortOnPpdev : public ::testing::Test {
  protected:
    void SetUp() override {
        proc.Add(0, "888\t1912\n");  // 0x378
        std::string error;
        ASSERT_TRUE(fake.Plug(bed, 0, error)) << error;
        core.target().interfaceKind = InterfaceKind::Parallel;
        core.parallel().SetStatusHandler([this](const std::string& text, bool failure) {
            if (failure) failures.push_back(text);
        });
    }
    uint8_t Memory(uint16_t address) {
        std::lock_guard lock(chipLock);
        return chip.memory()[address];
    }

    VirtualClock clock;
    sim::SimChip chip;
    std::mutex chipLock;
    sim::SimParallelPort port{chip, chipLock, clock};
    FakePpdev fake{port};
    DeviceBed bed;  // after the fake: destroyed first, with umockdev's thread
    ProcParports proc;
    platform::PpdevPortBus ports{proc.path()};
    sim::SimBus noBoard;
    BenchCore core{noBoard, clock, &ports};
    std::vector<std::string> failures;
};

TEST_F(PortOnPpdev, RegisterWriteAndReadBackReachTheChip) {
    ASSERT_TRUE(core.chip().WriteRegister(0x2A, 0x5A)) << core.parallel().LastError();
    EXPECT_EQ(Memory(0x2A), 0x5A);
    EXPECT_EQ(core.chip().GetRegImage(0x2A), 0x5A);
    {
        std::lock_guard lock(chipLock);
        for (uint16_t a = 0; a < 4; ++a) chip.Write(0x10 + a, static_cast<uint8_t>(0xC3 ^ a));
    }
    ASSERT_TRUE(core.chip().ReadChip(0x10, 4));
    for (size_t a = 0; a < 4; ++a) EXPECT_EQ(core.chip().buffer()[a], 0xC3 ^ a);
    EXPECT_EQ(core.parallel().PortName(), "/dev/parport0");
    EXPECT_EQ(fake.Claims(), 1);  // claimed once, held across frames
    EXPECT_TRUE(fake.Claimed());
    EXPECT_EQ(fake.UnclaimedAccesses(), 0);
    EXPECT_TRUE(failures.empty());
}

TEST_F(PortOnPpdev, PreparationSetsByteModeAndDrivesTheDataLines) {
    port.WriteRegister(PortRegister::Data, 0x5A);
    ASSERT_TRUE(core.parallel().ParInit());
    EXPECT_EQ(fake.ModesSet(), std::vector<int>{IEEE1284_MODE_BYTE});
    EXPECT_EQ(fake.DirectionsSet(), std::vector<int>{0});
    EXPECT_EQ(port.ReadRegister(PortRegister::Control) & 0x2F, 0x06);
    EXPECT_EQ(port.ReadRegister(PortRegister::Data), 0x00);
    // The extended control register is out of ppdev's reach: it reads what was set.
    EXPECT_EQ(core.parallel().ParReadPort(0x378 + 0x402), 0x35);

    // The direction goes to the kernel once, not with every clock edge.
    ASSERT_TRUE(core.chip().ReadChip(0, 2));
    EXPECT_EQ(fake.DirectionsSet(), std::vector<int>{0});
}

TEST_F(PortOnPpdev, PortBaseChoosesTheNodeWhoseBaseMatches) {
    proc.Add(1, "632\t1656\n");  // 0x278
    std::string error;
    sim::SimChip otherChip;
    sim::SimParallelPort otherPort{otherChip, chipLock, clock};
    FakePpdev second{otherPort};
    ASSERT_TRUE(second.Plug(bed, 1, error)) << error;
    core.parallel().PortBase = 0x278;
    core.chip().buffer()[5] = 0x99;
    ASSERT_TRUE(core.chip().WriteChip(0x40, 1));
    EXPECT_EQ(core.parallel().PortName(), "/dev/parport1");
    EXPECT_EQ(otherChip.memory()[0x40], 0x99);
    EXPECT_EQ(Memory(0x40), 0x00);
    EXPECT_EQ(fake.Claims(), 0);
    core.parallel().Close();
    EXPECT_FALSE(second.Claimed());
}

TEST_F(PortOnPpdev, ABusyPortIsReportedAndNotUsed) {
    fake.RefuseClaims(EBUSY);
    EXPECT_FALSE(core.chip().ReadChip(0, 1));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0],
              "/dev/parport0: Device or resource busy \u2014 another program holds the port");
    EXPECT_EQ(fake.UnclaimedAccesses(), 0);
}

TEST_F(PortOnPpdev, APortThatGoesAwayFailsTheFrameAndSaysWhy) {
    ASSERT_TRUE(core.parallel().ParInit());
    fake.FailRegisterAccess(ENODEV);
    EXPECT_FALSE(core.chip().ReadChip(0, 1));
    EXPECT_FALSE(core.parallel().IsOpen());
    EXPECT_FALSE(fake.Claimed());
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], "/dev/parport0: No such device \u2014 the port has gone");
}

TEST(ParportChoice, BaseAddrFilesAndTheNodeOfEachListBase) {
    EXPECT_EQ(platform::ParseParportBase("888\t1912\n"), 888u);
    EXPECT_EQ(platform::ParseParportBase(" 956\t0"), 956u);
    EXPECT_EQ(platform::ParseParportBase("53264\n"), 53264u);
    EXPECT_FALSE(platform::ParseParportBase("0x378\t0\n"));
    EXPECT_FALSE(platform::ParseParportBase(""));

    ProcParports proc;
    proc.Add(1, "53264\t53248\n");  // a PCIe card
    proc.Add(0, "888\t1912\n");
    proc.Add(2, "garbage");
    const auto ports = platform::ListParports(proc.path());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].number, 0);
    EXPECT_EQ(ports[1].base, 53264u);
    EXPECT_FALSE(ports[2].base);

    using platform::ChooseParportNode;
    EXPECT_EQ(ChooseParportNode(0x378, ports, "/dev"), "/dev/parport0");
    EXPECT_EQ(ChooseParportNode(0xD010, ports, "/dev"), "/dev/parport1");
    // No port at the base: the list position decides.
    EXPECT_EQ(ChooseParportNode(0x278, ports, "/dev"), "/dev/parport1");
    EXPECT_EQ(ChooseParportNode(0x3BC, {}, "/dev"), "/dev/parport2");
    EXPECT_EQ(ChooseParportNode(0x2F8, ports, "/dev"), "");
    EXPECT_TRUE(platform::ListParports(proc.path() + "/missing").empty());
}

TEST(ParportChoice, ErrorTextsSayWhatToDo) {
    EXPECT_EQ(platform::PortErrorText("/dev/parport0", EACCES, true),
              "/dev/parport0: Permission denied \u2014 add your user to the lp group");
    EXPECT_EQ(platform::PortErrorText("/dev/parport2", ENOENT, true),
              "/dev/parport2: No such file or directory \u2014 no parallel port there (are the "
              "parport_pc and ppdev modules loaded?)");
    EXPECT_EQ(platform::PortErrorText("/dev/parport0", EIO, false),
              "/dev/parport0: Input/output error \u2014 the port stopped answering");
}

}  // namespace
}  // namespace dmm::test
