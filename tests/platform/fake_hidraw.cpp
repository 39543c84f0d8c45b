#include "fake_hidraw.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dmm::test {
namespace {

// Vendor page 0xFF00: one 64-byte input report and one 64-byte output report.
const Bytes kReportDescriptor = {
    0x06, 0x00, 0xFF,  // usage page (vendor 0xFF00)
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02,  // input
    0x09, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02,  // output
    0xC0,                                                                          // end collection
};

// The USB side of the HID board: interface 0 of class HID with interrupt IN and OUT.
Bytes HidBoardDescriptors(const UsbPlug& usb) {
    Bytes bytes = UsbDeviceDescriptor(usb, 0x00);
    const auto size = static_cast<uint8_t>(kReportDescriptor.size());
    const Bytes configuration = {
        0x09, 0x02, 0x29, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,  // configuration
        0x09, 0x04, 0x00, 0x00, 0x02, 0x03, 0x00, 0x00, 0x00,  // interface 0, HID
        0x09, 0x21, 0x11, 0x01, 0x00, 0x01, 0x22, size, 0x00,  // HID descriptor
        0x07, 0x05, 0x81, 0x03, 0x40, 0x00, 0x01,              // interrupt IN
        0x07, 0x05, 0x01, 0x03, 0x40, 0x00, 0x01};             // interrupt OUT
    bytes.insert(bytes.end(), configuration.begin(), configuration.end());
    return bytes;
}

// hidraw<minor> below its HID device, below the USB interface, below the USB device:
// hidapi takes the ids and name from the HID device (filtering by ids through the node's
// "device" link), the release and strings from the USB device and the usage page from
// the report descriptor.
std::string HidBoardSysfs(const HidPlug& plug) {
    const UsbPlug& usb = plug.usb;
    char hid[40], text[2048];
    std::snprintf(hid, sizeof hid, "0003:%04X:%04X.%04X", usb.vendorId, usb.productId,
                  plug.instance);
    const std::string device =
        "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(usb.bus) + "/" + usb.port;
    const std::string interface = device + "/" + usb.port + ":1.0";
    std::snprintf(text, sizeof text,
                  "P: %s/%s/hidraw/hidraw%d\n"
                  "N: hidraw%d\n"
                  "E: DEVNAME=/dev/hidraw%d\n"
                  "E: MAJOR=240\n"
                  "E: MINOR=%d\n"
                  "E: SUBSYSTEM=hidraw\n"
                  "A: dev=240:%d\n"
                  "L: device=../../../%s\n"
                  "\n"
                  "P: %s/%s\n"
                  "E: DRIVER=hid-generic\n"
                  "E: HID_ID=0003:%08X:%08X\n"
                  "E: HID_NAME=Mervatok Evaluation Board\n"
                  "E: HID_PHYS=usb-0000:00:14.0-%s/input0\n"
                  "E: HID_UNIQ=\n"
                  "E: SUBSYSTEM=hid\n"
                  "H: report_descriptor=%s\n"
                  "\n"
                  "P: %s\n"
                  "E: DEVTYPE=usb_interface\n"
                  "E: DRIVER=usbhid\n"
                  "E: INTERFACE=3/0/0\n"
                  "E: SUBSYSTEM=usb\n"
                  "A: bInterfaceNumber=00\n"
                  "A: bInterfaceClass=03\n"
                  "\n",
                  interface.c_str(), hid, plug.minor, plug.minor, plug.minor, plug.minor,
                  plug.minor, hid, interface.c_str(), hid, usb.vendorId, usb.productId,
                  usb.port.substr(2).c_str(), HexText(kReportDescriptor).c_str(),
                  interface.c_str());
    return text + UsbDeviceSysfs(usb, HidBoardDescriptors(usb),
                                 "A: manufacturer=Mervatok\nA: product=Evaluation Board\n");
}

}  // namespace

std::string HidPlug::Devnode() const {
    return "/dev/hidraw" + std::to_string(minor);
}

FakeHidrawBoard::FakeHidrawBoard(sim::SimBoard& board)
    : board_(board), handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&FakeHidrawBoard::OnIoctl), this);
    g_signal_connect(handler_, "handle-read", G_CALLBACK(&FakeHidrawBoard::OnRead), this);
    g_signal_connect(handler_, "handle-write", G_CALLBACK(&FakeHidrawBoard::OnWrite), this);
}

FakeHidrawBoard::~FakeHidrawBoard() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

bool FakeHidrawBoard::Plug(DeviceBed& bed, const HidPlug& plug, std::string& error) {
    plug_ = plug;
    if (!bed.Add(HidBoardSysfs(plug), error)) return false;
    if (!gate_.Install(bed.BackingPath(plug.Devnode()), error)) return false;
    GError* gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(bed.get(), plug.Devnode().c_str(), handler_, &gerror)) {
        error = gerror ? gerror->message : "cannot attach the hidraw handler";
        g_clear_error(&gerror);
        return false;
    }
    return true;
}

std::vector<Bytes> FakeHidrawBoard::OutputReports() const {
    std::lock_guard lock(mutex_);
    return output_;
}

void FakeHidrawBoard::ClearOutputReports() {
    std::lock_guard lock(mutex_);
    output_.clear();
}

size_t FakeHidrawBoard::QueuedInputReports() const {
    std::lock_guard lock(mutex_);
    return input_.size();
}

gboolean FakeHidrawBoard::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<FakeHidrawBoard*>(self)->HandleIoctl(client);
}

gboolean FakeHidrawBoard::OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<FakeHidrawBoard*>(self)->HandleRead(client);
}

gboolean FakeHidrawBoard::OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<FakeHidrawBoard*>(self)->HandleWrite(client);
}

gboolean FakeHidrawBoard::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (_IOC_TYPE(request) != 'H') {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
    GError* gerror = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                          _IOC_SIZE(request), &gerror);
    g_clear_error(&gerror);
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    long result = 0;
    int error = 0;
    auto putText = [&](const std::string& text) {
        const size_t n = std::min(text.size() + 1, static_cast<size_t>(data->data_len));
        std::memcpy(data->data, text.c_str(), n);
        result = static_cast<long>(n);
    };
    switch (_IOC_NR(request)) {
        case _IOC_NR(HIDIOCGRDESCSIZE): {
            const int size = static_cast<int>(kReportDescriptor.size());
            std::memcpy(data->data, &size, sizeof size);
            break;
        }
        case _IOC_NR(HIDIOCGRDESC): {
            auto* descriptor = reinterpret_cast<hidraw_report_descriptor*>(data->data);
            if (descriptor->size > HID_MAX_DESCRIPTOR_SIZE) {
                result = -1;
                error = EINVAL;
                break;
            }
            std::memcpy(descriptor->value, kReportDescriptor.data(),
                        std::min<size_t>(descriptor->size, kReportDescriptor.size()));
            break;
        }
        case _IOC_NR(HIDIOCGRAWINFO): {
            hidraw_devinfo info{};
            info.bustype = 3;  // BUS_USB
            info.vendor = static_cast<int16_t>(plug_.usb.vendorId);
            info.product = static_cast<int16_t>(plug_.usb.productId);
            std::memcpy(data->data, &info, sizeof info);
            break;
        }
        case 0x04:  // HIDIOCGRAWNAME(len)
            putText("Mervatok Evaluation Board");
            break;
        case 0x05:  // HIDIOCGRAWPHYS(len)
            putText("usb-0000:00:14.0-" + plug_.usb.port.substr(2) + "/input0");
            break;
        case 0x08:  // HIDIOCGRAWUNIQ(len)
            putText("");
            break;
        default:  // feature reports are not part of the board's protocol
            result = -1;
            error = EINVAL;
            break;
    }
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, result, error);
    return TRUE;
}

gboolean FakeHidrawBoard::HandleWrite(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const Bytes report(arg->data, arg->data + arg->data_len);
    std::lock_guard lock(mutex_);
    output_.push_back(report);
    if (report.empty() || report[0] != 0) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
    }
    if (!board_.Receive(report.data() + 1, report.size() - 1)) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);  // the board has gone
        return TRUE;
    }
    Bytes reply(kReportSize, 0);
    size_t delivered = 0;
    if (board_.Reply(reply.data(), reply.size(), delivered)) {
        input_.push_back(std::move(reply));
        gate_.SetFilled(true);
    }
    umockdev_ioctl_client_complete(client, static_cast<long>(report.size()), 0);
    return TRUE;
}

gboolean FakeHidrawBoard::HandleRead(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(mutex_);
    if (input_.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return TRUE;
    }
    const Bytes report = std::move(input_.front());
    input_.pop_front();
    if (input_.empty()) gate_.SetFilled(false);
    // hidraw hands out at most the caller's count and drops the rest of the report.
    const size_t n = std::min(report.size(), static_cast<size_t>(arg->data_len));
    std::memcpy(arg->data, report.data(), n);
    umockdev_ioctl_client_complete(client, static_cast<long>(n), 0);
    return TRUE;
}

}  // namespace dmm::test
