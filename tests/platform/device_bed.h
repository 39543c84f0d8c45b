#pragma once

#include <umockdev.h>

#include <string>
#include <vector>

// Device emulation for the real OS backends. While a DeviceBed lives, /sys and /dev of
// this process (as seen through libumockdev-preload) show the devices added to it; the
// fakes answer the nodes' ioctl/read/write calls on umockdev's own thread.
//
// Order matters: make the bed and its devices first, then the libusb/hidapi objects that
// enumerate them, and destroy those before the bed.
namespace dmm::test {

using Bytes = std::vector<uint8_t>;

class DeviceBed {
  public:
    DeviceBed();
    ~DeviceBed();
    DeviceBed(const DeviceBed&) = delete;
    DeviceBed& operator=(const DeviceBed&) = delete;

    UMockdevTestbed* get() { return bed_; }
    // Adds devices written in umockdev's text format ("P:", "E:", "A:", "H:" lines).
    bool Add(const std::string& description, std::string& error);
    // The real path behind an emulated node such as "/dev/hidraw0".
    std::string BackingPath(const std::string& devnode) const;

  private:
    UMockdevTestbed* bed_;
};

// umockdev 0.17 does not intercept poll(): libusb and hidapi poll the file behind the
// node. This replaces that file by a FIFO whose fill level the fake sets, so that poll()
// waits and wakes up as it does on the real node. The pipe is cut to one page, so that a
// single byte both makes it readable (POLLIN) and takes its writability (POLLOUT) away.
class ReadinessGate {
  public:
    ReadinessGate() = default;
    ~ReadinessGate();
    ReadinessGate(const ReadinessGate&) = delete;
    ReadinessGate& operator=(const ReadinessGate&) = delete;

    bool Install(const std::string& backingPath, std::string& error);
    // Filled: one byte in the FIFO (POLLIN, no POLLOUT); empty: the reverse.
    void SetFilled(bool filled);

  private:
    int fd_ = -1;
    bool filled_ = false;
};

// Hex text of bytes for umockdev's "H:" lines.
std::string HexText(const Bytes& bytes);

// What a running device emulation needs; see ProbeDeviceEmulation.
enum class EmulationState {
    Ready,
    Unavailable,   // umockdev cannot run in this environment
    NotPreloaded,  // the program was started without libumockdev-preload
};
EmulationState ProbeDeviceEmulation(std::string& why);

}  // namespace dmm::test
