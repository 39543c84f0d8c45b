#include "platform/ppdev_port_bus.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

namespace dmm::platform {
namespace {

constexpr uint8_t kControlReverse = 0x20;
// The control bits PPWCONTROL writes and PPRCONTROL reports.
constexpr uint8_t kControlLines = 0x0F;
// A standard-mode port with an empty FIFO, until the extended control register is set.
constexpr uint8_t kInitialExtendedControl = 0x15;

// The transfer mode that stands for a mode field value of the extended control register.
std::optional<int> ModeOfExtendedControl(uint8_t ecr) {
    switch (ecr >> 5) {
        case 0:  // standard
        case 2:  // parallel-port FIFO: ppdev has no such mode, compatibility is closest
            return IEEE1284_MODE_COMPAT;
        case 1:  // bidirectional byte mode
            return IEEE1284_MODE_BYTE;
        case 3:
            return IEEE1284_MODE_ECP;
        case 4:
            return IEEE1284_MODE_EPP;
        default:  // test and configuration modes have no counterpart
            return std::nullopt;
    }
}

class PpdevPort final : public ParallelPort {
  public:
    PpdevPort(int fd, std::string devnode) : fd_(fd), devnode_(std::move(devnode)) {}
    ~PpdevPort() override {
        ::ioctl(fd_, PPRELEASE);
        ::close(fd_);
    }
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    bool Read(PortRegister reg, uint8_t& value) override {
        switch (reg) {
            case PortRegister::Data:
                return Ioctl(PPRDATA, &value);
            case PortRegister::Status:
                return Ioctl(PPRSTATUS, &value);
            case PortRegister::Control: {
                unsigned char lines = 0;
                if (!Ioctl(PPRCONTROL, &lines)) return false;
                value = static_cast<uint8_t>((lines & kControlLines) |
                                             (reverse_.value_or(false) ? kControlReverse : 0));
                return true;
            }
            case PortRegister::ExtendedControl:
                value = extendedControl_;
                return true;
        }
        return false;
    }

    bool Write(PortRegister reg, uint8_t value) override {
        switch (reg) {
            case PortRegister::Data:
                return Ioctl(PPWDATA, &value);
            case PortRegister::Status:  // read-only
                return true;
            case PortRegister::Control: {
                // The byte clocking writes the control register three times per bit: the
                // direction only goes to the kernel when it changes.
                const bool reverse = (value & kControlReverse) != 0;
                if (reverse_ != reverse) {
                    int direction = reverse ? 1 : 0;
                    if (!Ioctl(PPDATADIR, &direction)) return false;
                    reverse_ = reverse;
                }
                unsigned char lines = static_cast<unsigned char>(value & kControlLines);
                return Ioctl(PPWCONTROL, &lines);
            }
            case PortRegister::ExtendedControl: {
                extendedControl_ = value;
                const std::optional<int> mode = ModeOfExtendedControl(value);
                if (!mode) return true;
                int m = *mode;
                return Ioctl(PPSETMODE, &m);
            }
        }
        return false;
    }

    std::string Name() const override { return devnode_; }
    std::string LastError() const override { return lastError_; }

  private:
    bool Ioctl(unsigned long request, void* argument) {
        if (::ioctl(fd_, request, argument) == 0) return true;
        lastError_ = PortErrorText(devnode_, errno, false);
        return false;
    }

    int fd_;
    std::string devnode_;
    std::optional<bool> reverse_;  // unknown until the first control write sets it
    uint8_t extendedControl_ = kInitialExtendedControl;
    std::string lastError_;
};

}  // namespace

PpdevPortBus::PpdevPortBus(std::string procDir, std::string devDir)
    : procDir_(std::move(procDir)), devDir_(std::move(devDir)) {}

std::unique_ptr<ParallelPort> PpdevPortBus::Open(uint16_t base, std::string& why) {
    const std::string devnode = ChooseParportNode(base, ListParports(procDir_), devDir_);
    if (devnode.empty()) {
        char text[96];
        std::snprintf(text, sizeof text, "no parallel port at 0x%X (see %s/*/base-addr)", base,
                      procDir_.c_str());
        why = text;
        return nullptr;
    }
    const int fd = ::open(devnode.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        why = PortErrorText(devnode, errno, true);
        return nullptr;
    }
    if (::ioctl(fd, PPCLAIM) != 0) {
        why = PortErrorText(devnode, errno, true);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PpdevPort>(fd, devnode);
}

}  // namespace dmm::platform
