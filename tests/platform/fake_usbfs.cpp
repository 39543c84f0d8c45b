#include "fake_usbfs.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace dmm::test {
namespace {

usbdevfs_urb* UrbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

uint8_t Low(uint16_t v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t High(uint16_t v) {
    return static_cast<uint8_t>(v >> 8);
}

// The board's one configuration: interface 0, vendor class, bulk OUT 0x01 then bulk IN
// 0x81. The OUT endpoint comes first on purpose: the host must not rely on the order.
Bytes BulkBoardConfiguration() {
    return {0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,  // configuration
            0x09, 0x04, 0x00, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x00,  // interface 0
            0x07, 0x05, 0x01, 0x02, 0x40, 0x00, 0x00,              // bulk OUT 0x01
            0x07, 0x05, 0x81, 0x02, 0x40, 0x00, 0x00};             // bulk IN 0x81
}

}  // namespace

std::string UsbPlug::Devnode() const {
    char node[40];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, address);
    return node;
}

Bytes UsbDeviceDescriptor(const UsbPlug& plug, uint8_t deviceClass) {
    return {0x12,
            0x01,
            0x00,
            0x02,
            deviceClass,
            0x00,
            0x00,
            0x40,
            Low(plug.vendorId),
            High(plug.vendorId),
            Low(plug.productId),
            High(plug.productId),
            Low(plug.release),
            High(plug.release),
            0x01,
            0x02,
            0x00,
            0x01};
}

std::string UsbDeviceSysfs(const UsbPlug& plug, const Bytes& descriptors,
                           const std::string& extraAttributes) {
    const std::string node = plug.Devnode().substr(5);  // without "/dev/"
    char text[1024];
    std::snprintf(text, sizeof text,
                  "P: /devices/pci0000:00/0000:00:14.0/usb%d/%s\n"
                  "N: %s\n"
                  "E: DEVNAME=/dev/%s\n"
                  "E: DEVTYPE=usb_device\n"
                  "E: DRIVER=usb\n"
                  "E: PRODUCT=%x/%x/%x\n"
                  "E: BUSNUM=%03d\n"
                  "E: DEVNUM=%03d\n"
                  "E: SUBSYSTEM=usb\n"
                  "A: busnum=%d\n"
                  "A: devnum=%d\n"
                  "A: speed=12\n"
                  "A: bConfigurationValue=1\n"
                  "A: bNumConfigurations=1\n"
                  "A: idVendor=%04x\n"
                  "A: idProduct=%04x\n"
                  "A: bcdDevice=%04x\n"
                  "A: dev=189:%d\n",
                  plug.bus, plug.port.c_str(), node.c_str(), node.c_str(), plug.vendorId,
                  plug.productId, plug.release, plug.bus, plug.address, plug.bus, plug.address,
                  plug.vendorId, plug.productId, plug.release,
                  (plug.bus - 1) * 128 + plug.address - 1);
    return text + extraAttributes + "H: descriptors=" + HexText(descriptors) + "\n";
}

FakeUsbfsBoard::FakeUsbfsBoard(sim::SimBoard& board)
    : board_(board), handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&FakeUsbfsBoard::OnIoctl), this);
}

FakeUsbfsBoard::~FakeUsbfsBoard() {
    g_signal_handlers_disconnect_by_data(handler_, this);
    for (auto* queue : {&waitingIn_, &reapable_}) {
        for (Urb& urb : *queue) Release(urb);
    }
    g_object_unref(handler_);
}

bool FakeUsbfsBoard::Plug(DeviceBed& bed, const UsbPlug& plug, std::string& error) {
    Bytes descriptors = UsbDeviceDescriptor(plug);
    const Bytes configuration = BulkBoardConfiguration();
    descriptors.insert(descriptors.end(), configuration.begin(), configuration.end());
    if (!bed.Add(UsbDeviceSysfs(plug, descriptors), error)) return false;
    if (!gate_.Install(bed.BackingPath(plug.Devnode()), error)) return false;
    gate_.SetFilled(true);  // nothing to reap yet
    GError* gerror = nullptr;
    if (!umockdev_testbed_attach_ioctl(bed.get(), plug.Devnode().c_str(), handler_, &gerror)) {
        error = gerror ? gerror->message : "cannot attach the usbfs handler";
        g_clear_error(&gerror);
        return false;
    }
    return true;
}

std::vector<Bytes> FakeUsbfsBoard::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void FakeUsbfsBoard::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

size_t FakeUsbfsBoard::ClaimedInterfaces() const {
    std::lock_guard lock(mutex_);
    return claimed_.size();
}

int FakeUsbfsBoard::Claims() const {
    std::lock_guard lock(mutex_);
    return claims_;
}

int FakeUsbfsBoard::DiscardedReads() const {
    std::lock_guard lock(mutex_);
    return discardedReads_;
}

void FakeUsbfsBoard::Release(Urb& urb) {
    if (urb.buffer) g_object_unref(urb.buffer);
    g_object_unref(urb.urb);
    urb = {};
}

gboolean FakeUsbfsBoard::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<FakeUsbfsBoard*>(self)->HandleIoctl(client);
}

bool FakeUsbfsBoard::InterfaceRequest(UMockdevIoctlData* arg, unsigned& number) {
    GError* gerror = nullptr;
    UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), &gerror);
    g_clear_error(&gerror);
    if (!value) return false;
    std::memcpy(&number, value->data, sizeof number);
    g_object_unref(value);
    return true;
}

gboolean FakeUsbfsBoard::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(mutex_);
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            GError* gerror = nullptr;
            UMockdevIoctlData* caps =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), &gerror);
            g_clear_error(&gerror);
            if (!caps) break;
            const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_ZERO_PACKET |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            std::memcpy(caps->data, &value, sizeof value);
            g_object_unref(caps);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            unsigned number = 0;
            if (!InterfaceRequest(arg, number)) break;
            int error = 0;
            if (number != 0)
                error = ENOENT;  // the board has interface 0 only
            else if (request == USBDEVFS_CLAIMINTERFACE) {
                claimed_.insert(number);
                ++claims_;
            } else if (claimed_.erase(number) == 0) {
                error = EINVAL;
            }
            umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
            return TRUE;
        }
        case USBDEVFS_DISCONNECT_CLAIM: {
            // Unbinds a kernel driver (there is none) and claims the interface.
            unsigned number = 0;
            if (!InterfaceRequest(arg, number)) break;
            const int error = number == 0 ? 0 : ENOENT;
            if (!error) {
                claimed_.insert(number);
                ++claims_;
            }
            umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
            return TRUE;
        }
        case USBDEVFS_GETDRIVER:  // no kernel driver is bound to the board's interface
            umockdev_ioctl_client_complete(client, -1, ENODATA);
            return TRUE;
        case USBDEVFS_IOCTL: {
            GError* gerror = nullptr;
            UMockdevIoctlData* command =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), &gerror);
            g_clear_error(&gerror);
            if (!command) break;
            const int code = reinterpret_cast<usbdevfs_ioctl*>(command->data)->ioctl_code;
            g_object_unref(command);
            // Disconnecting the (absent) kernel driver: ENODATA; reconnecting: fine.
            if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
                umockdev_ioctl_client_complete(client, -1, ENODATA);
            } else {
                umockdev_ioctl_client_complete(
                    client, code == static_cast<int>(USBDEVFS_CONNECT) ? 0 : -1,
                    code == static_cast<int>(USBDEVFS_CONNECT) ? 0 : ENOTTY);
            }
            return TRUE;
        }
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        case USBDEVFS_SUBMITURB:
            SubmitUrb(client, arg, _IOC_SIZE(request));
            return TRUE;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            ReapUrb(client, arg, _IOC_SIZE(request));
            return TRUE;
        case USBDEVFS_DISCARDURB:
            DiscardUrb(client, arg);
            return TRUE;
        default:
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return TRUE;
    }
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return TRUE;
}

void FakeUsbfsBoard::SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, size_t size) {
    GError* gerror = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &gerror);
    g_clear_error(&gerror);
    if (!data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    usbdevfs_urb* urb = UrbOf(data);
    UMockdevIoctlData* buffer = nullptr;
    if (urb->buffer_length > 0) {
        buffer = umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer),
                                             static_cast<size_t>(urb->buffer_length), &gerror);
        g_clear_error(&gerror);
        if (!buffer) {
            g_object_unref(data);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
    }
    Urb entry{data, buffer, 0};
    const bool bulk = urb->type == USBDEVFS_URB_TYPE_BULK;
    if (!bulk || (urb->endpoint != kOutEndpoint && urb->endpoint != kInEndpoint)) {
        Release(entry);
        umockdev_ioctl_client_complete(client, -1, ENOENT);  // no such endpoint
        return;
    }
    if (urb->endpoint == kInEndpoint) {
        waitingIn_.push_back(entry);
        FeedInUrbs();
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }

    Bytes request(buffer ? buffer->data : nullptr,
                  buffer ? buffer->data + buffer->data_len : nullptr);
    requests_.push_back(request);
    if (!board_.Receive(request.data(), request.size())) {
        Release(entry);
        umockdev_ioctl_client_complete(client, -1, ENODEV);  // the board has gone
        return;
    }
    Finish(entry, 0, request.size());
    TakeBoardReply();
    FeedInUrbs();
    umockdev_ioctl_client_complete(client, 0, 0);
}

void FakeUsbfsBoard::TakeBoardReply() {
    Bytes reply(4096);
    size_t delivered = 0;
    if (!board_.Reply(reply.data(), reply.size(), delivered)) return;
    // The firmware sends no zero-length packet after a reply that ends on a full packet.
    for (size_t at = 0; at < delivered; at += kMaxPacket) {
        const size_t n = std::min(kMaxPacket, delivered - at);
        inPackets_.emplace_back(reply.begin() + static_cast<ptrdiff_t>(at),
                                reply.begin() + static_cast<ptrdiff_t>(at + n));
    }
}

void FakeUsbfsBoard::FeedInUrbs() {
    while (!waitingIn_.empty() && !inPackets_.empty()) {
        Urb& urb = waitingIn_.front();
        const size_t length = static_cast<size_t>(UrbOf(urb.urb)->buffer_length);
        const Bytes packet = std::move(inPackets_.front());
        inPackets_.pop_front();
        const size_t room = length - urb.filled;
        const size_t n = std::min(room, packet.size());
        if (n > 0) std::memcpy(urb.buffer->data + urb.filled, packet.data(), n);
        urb.filled += n;
        if (packet.size() > room) {
            Finish(urb, -EOVERFLOW, urb.filled);
        } else if (packet.size() < kMaxPacket || urb.filled == length) {
            Finish(urb, 0, urb.filled);
        } else {
            continue;  // a full packet and room for more: the URB keeps waiting
        }
        waitingIn_.pop_front();
    }
}

void FakeUsbfsBoard::Finish(Urb urb, int status, size_t actual) {
    usbdevfs_urb* u = UrbOf(urb.urb);
    u->status = status;
    u->actual_length = static_cast<int>(actual);
    reapable_.push_back(urb);
    gate_.SetFilled(false);
}

void FakeUsbfsBoard::ReapUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, size_t size) {
    if (reapable_.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return;
    }
    GError* gerror = nullptr;
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, size, &gerror);
    g_clear_error(&gerror);
    if (!slot) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    Urb urb = reapable_.front();
    reapable_.pop_front();
    if (reapable_.empty()) gate_.SetFilled(true);
    // The slot receives the client's URB address; the URB and its buffer hang below the
    // slot and are copied back to the client when the call completes.
    umockdev_ioctl_data_set_ptr(slot, 0, urb.urb);
    g_object_unref(slot);
    Release(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
}

void FakeUsbfsBoard::DiscardUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    unsigned long address = 0;
    std::memcpy(&address, arg->data, std::min(sizeof address, static_cast<size_t>(arg->data_len)));
    auto it = std::find_if(waitingIn_.begin(), waitingIn_.end(),
                           [&](const Urb& urb) { return urb.urb->client_addr == address; });
    if (it == waitingIn_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    const Urb urb = *it;
    waitingIn_.erase(it);
    ++discardedReads_;
    Finish(urb, -ENOENT, urb.filled);
    umockdev_ioctl_client_complete(client, 0, 0);
}

}  // namespace dmm::test
