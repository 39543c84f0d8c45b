#include "device_bed.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dmm::test {

DeviceBed::DeviceBed() : bed_(umockdev_testbed_new()) {}

DeviceBed::~DeviceBed() {
    if (bed_) g_object_unref(bed_);
}

bool DeviceBed::Add(const std::string& description, std::string& error) {
    GError* gerror = nullptr;
    if (umockdev_testbed_add_from_string(bed_, description.c_str(), &gerror)) return true;
    error = gerror ? gerror->message : "umockdev refused the device description";
    g_clear_error(&gerror);
    return false;
}

std::string DeviceBed::BackingPath(const std::string& devnode) const {
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    std::string path = std::string(root) + devnode;
    g_free(root);
    return path;
}

ReadinessGate::~ReadinessGate() {
    if (fd_ >= 0) ::close(fd_);
}

bool ReadinessGate::Install(const std::string& backingPath, std::string& error) {
    // The backing path lies outside /dev and /sys, so the preload leaves these calls alone.
    if (::unlink(backingPath.c_str()) != 0 || ::mkfifo(backingPath.c_str(), 0666) != 0) {
        error = "cannot replace " + backingPath + " by a FIFO: " + std::strerror(errno);
        return false;
    }
    fd_ = ::open(backingPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || ::fcntl(fd_, F_SETPIPE_SZ, 4096) < 0) {
        error = "cannot open the FIFO " + backingPath + ": " + std::strerror(errno);
        return false;
    }
    filled_ = false;
    return true;
}

void ReadinessGate::SetFilled(bool filled) {
    if (fd_ < 0 || filled == filled_) return;
    char byte = 0;
    const ssize_t moved = filled ? ::write(fd_, &byte, 1) : ::read(fd_, &byte, 1);
    if (moved == 1) filled_ = filled;
}

std::string HexText(const Bytes& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

EmulationState ProbeDeviceEmulation(std::string& why) {
    if (!dlopen("libumockdev-preload.so.0", RTLD_LAZY | RTLD_NOLOAD)) {
        const char* preload = std::getenv("LD_PRELOAD");
        if (preload && std::strstr(preload, "libumockdev-preload")) {
            why = "libumockdev-preload is named in LD_PRELOAD but could not be loaded";
            return EmulationState::Unavailable;
        }
        why =
            "start this program with LD_PRELOAD=libumockdev-preload.so.0 (umockdev-wrapper); "
            "under AddressSanitizer put libasan.so first";
        return EmulationState::NotPreloaded;
    }
    DeviceBed bed;
    if (!bed.get()) {
        why = "umockdev cannot create a testbed";
        return EmulationState::Unavailable;
    }
    std::string error;
    if (!bed.Add("P: /devices/dmmbench-probe\nE: SUBSYSTEM=platform\n", error)) {
        why = "umockdev cannot add a device: " + error;
        return EmulationState::Unavailable;
    }
    struct stat info {};
    if (::stat("/sys/devices/dmmbench-probe", &info) != 0) {
        why = "umockdev does not redirect /sys in this environment";
        return EmulationState::Unavailable;
    }
    return EmulationState::Ready;
}

}  // namespace dmm::test
