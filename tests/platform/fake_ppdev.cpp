#include "fake_ppdev.h"

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace dmm::test {
namespace {

constexpr uint8_t kControlLines = 0x0F;
constexpr uint8_t kControlReverse = 0x20;

std::string PpdevSysfs(int number) {
    const std::string n = std::to_string(number);
    return "P: /devices/pnp0/00:0" + n + "/ppdev/parport" + n + "\nN: parport" + n +
           "\nE: DEVNAME=/dev/parport" + n + "\nE: SUBSYSTEM=ppdev\nE: MAJOR=99\nE: MINOR=" + n +
           "\nA: dev=99:" + n + "\n";
}

}  // namespace

FakePpdev::FakePpdev(sim::SimParallelPort& port)
    : port_(port), handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&FakePpdev::OnIoctl), this);
}

FakePpdev::~FakePpdev() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

bool FakePpdev::Plug(DeviceBed& bed, int number, std::string& error) {
    if (!bed.Add(PpdevSysfs(number), error)) return false;
    GError* gerror = nullptr;
    const std::string node = "/dev/parport" + std::to_string(number);
    if (!umockdev_testbed_attach_ioctl(bed.get(), node.c_str(), handler_, &gerror)) {
        error = gerror ? gerror->message : "cannot attach the ppdev handler";
        g_clear_error(&gerror);
        return false;
    }
    return true;
}

void FakePpdev::RefuseClaims(int error) {
    std::lock_guard lock(mutex_);
    claimError_ = error;
}

void FakePpdev::FailRegisterAccess(int error) {
    std::lock_guard lock(mutex_);
    accessError_ = error;
}

bool FakePpdev::Claimed() const {
    std::lock_guard lock(mutex_);
    return claimed_;
}

int FakePpdev::Claims() const {
    std::lock_guard lock(mutex_);
    return claims_;
}

std::vector<int> FakePpdev::ModesSet() const {
    std::lock_guard lock(mutex_);
    return modes_;
}

std::vector<int> FakePpdev::DirectionsSet() const {
    std::lock_guard lock(mutex_);
    return directions_;
}

int FakePpdev::UnclaimedAccesses() const {
    std::lock_guard lock(mutex_);
    return unclaimedAccesses_;
}

gboolean FakePpdev::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<FakePpdev*>(self)->HandleIoctl(client);
}

gboolean FakePpdev::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (_IOC_TYPE(request) != PP_IOCTL) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
    UMockdevIoctlData* data = nullptr;
    if (_IOC_SIZE(request) > 0) {
        GError* gerror = nullptr;
        data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                           _IOC_SIZE(request), &gerror);
        g_clear_error(&gerror);
        if (!data) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
    }
    int error = 0;
    {
        std::lock_guard lock(mutex_);
        switch (request) {
            case PPCLAIM:
                if (claimed_)
                    error = EINVAL;
                else if (claimError_)
                    error = claimError_;
                else {
                    claimed_ = true;
                    ++claims_;
                }
                break;
            case PPRELEASE:
                if (!claimed_) error = EINVAL;
                claimed_ = false;
                break;
            default:
                if (!claimed_) {
                    ++unclaimedAccesses_;
                    error = EINVAL;
                } else if (accessError_) {
                    error = accessError_;
                } else {
                    error = RegisterIoctl(request, data ? data->data : nullptr);
                }
        }
    }
    if (data) g_object_unref(data);
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    return TRUE;
}

int FakePpdev::RegisterIoctl(unsigned long request, uint8_t* data) {
    auto value = [&]() -> uint8_t& { return *data; };
    auto integer = [&] {
        int v = 0;
        std::memcpy(&v, data, sizeof v);
        return v;
    };
    switch (request) {
        case PPRDATA:
            value() = port_.ReadRegister(PortRegister::Data);
            return 0;
        case PPWDATA:
            port_.WriteRegister(PortRegister::Data, value());
            return 0;
        case PPRSTATUS:
            value() = port_.ReadRegister(PortRegister::Status);
            return 0;
        case PPRCONTROL:
            value() = port_.ReadRegister(PortRegister::Control) & kControlLines;
            return 0;
        case PPWCONTROL: {
            const uint8_t kept = port_.ReadRegister(PortRegister::Control) & ~kControlLines;
            port_.WriteRegister(PortRegister::Control,
                                static_cast<uint8_t>(kept | (value() & kControlLines)));
            return 0;
        }
        case PPDATADIR: {
            const int reverse = integer();
            directions_.push_back(reverse);
            const uint8_t control = port_.ReadRegister(PortRegister::Control) & ~kControlReverse;
            port_.WriteRegister(PortRegister::Control,
                                static_cast<uint8_t>(control | (reverse ? kControlReverse : 0)));
            return 0;
        }
        case PPSETMODE:
            modes_.push_back(integer());
            return 0;
        default:
            return ENOTTY;
    }
}

}  // namespace dmm::test
