#include "platform/usb_board_bus.h"

#include <libusb.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "core/link/board_link.h"

namespace dmm::platform {
namespace {

constexpr unsigned kWriteTimeoutMs = 1000;
constexpr unsigned kReadTimeoutMs = 2000;
constexpr int kBoardInterface = 0;
constexpr int kDefaultPacketSize = 64;

class UsbBulkDevice final : public BulkDevice {
  public:
    UsbBulkDevice(libusb_device* device, libusb_device_handle* handle)
        : device_(libusb_ref_device(device)), handle_(handle) {}
    ~UsbBulkDevice() override {
        libusb_release_interface(handle_, kBoardInterface);
        libusb_close(handle_);
        libusb_unref_device(device_);
    }

    bool ReadDeviceDescriptor(DeviceDescriptorBlock& out) override {
        libusb_device_descriptor d{};
        if (!Check(libusb_get_device_descriptor(device_, &d))) return false;
        out.fill(0);
        const uint8_t bytes[18] = {d.bLength,
                                   d.bDescriptorType,
                                   static_cast<uint8_t>(d.bcdUSB),
                                   static_cast<uint8_t>(d.bcdUSB >> 8),
                                   d.bDeviceClass,
                                   d.bDeviceSubClass,
                                   d.bDeviceProtocol,
                                   d.bMaxPacketSize0,
                                   static_cast<uint8_t>(d.idVendor),
                                   static_cast<uint8_t>(d.idVendor >> 8),
                                   static_cast<uint8_t>(d.idProduct),
                                   static_cast<uint8_t>(d.idProduct >> 8),
                                   static_cast<uint8_t>(d.bcdDevice),
                                   static_cast<uint8_t>(d.bcdDevice >> 8),
                                   d.iManufacturer,
                                   d.iProduct,
                                   d.iSerialNumber,
                                   d.bNumConfigurations};
        std::memcpy(out.data(), bytes, sizeof bytes);
        return true;
    }

    // The board reports its IN pipe first and its OUT pipe second; USB descriptors may list
    // them in any order, so the first bulk IN and the first bulk OUT endpoint are taken.
    bool ReadPipes(std::vector<PipeInfo>& out) override {
        libusb_config_descriptor* config = nullptr;
        if (!Check(libusb_get_active_config_descriptor(device_, &config))) return false;
        std::vector<PipeInfo> in, outPipes;
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = alt.endpoint[e];
                PipeInfo pipe{ep.wMaxPacketSize,
                              ep.bEndpointAddress,
                              ep.bInterval,
                              static_cast<uint32_t>(ep.bmAttributes & 0x03),
                              static_cast<uint32_t>(e),
                              4096,
                              0};
                (ep.bEndpointAddress & 0x80 ? in : outPipes).push_back(pipe);
            }
        }
        libusb_free_config_descriptor(config);
        out.clear();
        if (in.empty() || outPipes.empty()) return false;
        out = {in.front(), outPipes.front()};
        return true;
    }

    bool BulkWrite(uint8_t endpoint, const uint8_t* data, size_t n) override {
        int transferred = 0;
        std::vector<uint8_t> copy(data, data + n);
        if (!Check(libusb_bulk_transfer(handle_, endpoint, copy.data(), static_cast<int>(n),
                                        &transferred, kWriteTimeoutMs))) {
            return false;
        }
        return static_cast<size_t>(transferred) == n || Fail(LIBUSB_ERROR_IO);
    }

    // The request covers whole packets: the board may answer with a full packet even when
    // fewer bytes were asked for, and only what fits the caller's area is copied. It must
    // not ask for more than that, though: a bulk read ends at a short packet or when its
    // buffer is full, and a reply that ends on a full packet (the board sends no
    // zero-length packet after it) would otherwise wait until the time-out.
    bool BulkRead(uint8_t endpoint, uint8_t* data, size_t capacity, size_t& received) override {
        received = 0;
        int packet = libusb_get_max_packet_size(device_, endpoint);
        if (packet <= 0) packet = kDefaultPacketSize;
        const size_t packetSize = static_cast<size_t>(packet);
        const size_t packets = std::max<size_t>(1, (capacity + packetSize - 1) / packetSize);
        std::vector<uint8_t> reply(packets * packetSize);
        int transferred = 0;
        if (!Check(libusb_bulk_transfer(handle_, endpoint, reply.data(),
                                        static_cast<int>(reply.size()), &transferred,
                                        kReadTimeoutMs))) {
            return false;
        }
        received = std::min(capacity, static_cast<size_t>(transferred));
        std::memcpy(data, reply.data(), received);
        return true;
    }

    int LastError() const override { return lastError_; }

  private:
    bool Check(int result) {
        if (result >= 0) return true;
        lastError_ = -result;
        return false;
    }
    bool Fail(int code) { return Check(code); }

    libusb_device* device_;
    libusb_device_handle* handle_;
    int lastError_ = 0;
};

}  // namespace

UsbBoardBus::UsbBoardBus() {
    if (libusb_init(&context_) != 0) context_ = nullptr;
}

UsbBoardBus::~UsbBoardBus() {
    if (context_) libusb_exit(context_);
}

std::unique_ptr<BulkDevice> UsbBoardBus::OpenBulk(int deviceNumber) {
    if (!context_ || deviceNumber < 0) return nullptr;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) return nullptr;

    std::vector<libusb_device*> boards;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) == 0 && d.idVendor == kBulkVendorId &&
            d.idProduct == kBulkProductId) {
            boards.push_back(list[i]);
        }
    }
    std::sort(boards.begin(), boards.end(), [](libusb_device* a, libusb_device* b) {
        return std::tuple(libusb_get_bus_number(a), libusb_get_device_address(a)) <
               std::tuple(libusb_get_bus_number(b), libusb_get_device_address(b));
    });

    std::unique_ptr<BulkDevice> result;
    if (static_cast<size_t>(deviceNumber) < boards.size()) {
        libusb_device* device = boards[static_cast<size_t>(deviceNumber)];
        libusb_device_handle* handle = nullptr;
        if (libusb_open(device, &handle) == 0) {
            libusb_set_auto_detach_kernel_driver(handle, 1);
            if (libusb_claim_interface(handle, kBoardInterface) == 0) {
                result = std::make_unique<UsbBulkDevice>(device, handle);
            } else {
                libusb_close(handle);
            }
        }
    }
    libusb_free_device_list(list, 1);
    return result;
}

}  // namespace dmm::platform
