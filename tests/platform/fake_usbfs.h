#pragma once

#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>

#include "device_bed.h"
#include "sim/sim_board.h"

// The evaluation board in its bulk personality as usbfs shows it to libusb: a full-speed
// vendor device with one interface and two bulk endpoints, emulated by umockdev and
// answered by a simulated board.
namespace dmm::test {

// Identity and place of an emulated USB device.
struct UsbPlug {
    uint16_t vendorId = 0x0547;
    uint16_t productId = 0x1004;
    uint16_t release = 0x0140;
    int bus = 1;
    int address = 2;
    std::string port = "1-1";  // sysfs name under the root hub

    std::string Devnode() const;  // "/dev/bus/usb/001/002"
};

// The 18-byte device descriptor of a full-speed device with a vendor-specific class.
Bytes UsbDeviceDescriptor(const UsbPlug& plug, uint8_t deviceClass = 0xFF);

// The sysfs entry of a USB device: the attributes libusb and hidapi read, and the raw
// descriptors (device descriptor, then the configuration with its interfaces).
// extraAttributes are further "A:" lines, such as the product string.
std::string UsbDeviceSysfs(const UsbPlug& plug, const Bytes& descriptors,
                           const std::string& extraAttributes = "");

// usbfs for one board: bulk OUT URBs on endpoint 0x01 go to the board as request packets;
// its reply comes back on endpoint 0x81 as 64-byte packets, the last one short unless
// the reply fills it. As on a real bus, an IN URB completes when a short packet arrives
// or its buffer is full, and waits otherwise; a packet larger than the room left is an
// overflow. Counters are read from the test's thread.
class FakeUsbfsBoard {
  public:
    static constexpr uint8_t kOutEndpoint = 0x01;
    static constexpr uint8_t kInEndpoint = 0x81;
    static constexpr size_t kMaxPacket = 64;

    explicit FakeUsbfsBoard(sim::SimBoard& board);
    ~FakeUsbfsBoard();
    FakeUsbfsBoard(const FakeUsbfsBoard&) = delete;
    FakeUsbfsBoard& operator=(const FakeUsbfsBoard&) = delete;

    // Adds the device to the bed (sysfs entry with its descriptors) and answers its node.
    bool Plug(DeviceBed& bed, const UsbPlug& plug, std::string& error);

    // Every request the board got, in order.
    std::vector<Bytes> Requests() const;
    void ClearRequests();
    // Interfaces claimed now, and successful claims so far.
    size_t ClaimedInterfaces() const;
    int Claims() const;
    // IN URBs that ended in a time-out (discarded by the host while waiting).
    int DiscardedReads() const;

  private:
    struct Urb {
        UMockdevIoctlData* urb;     // the client's usbdevfs_urb, owned here
        UMockdevIoctlData* buffer;  // its data buffer, may be null
        size_t filled = 0;
    };

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    gboolean HandleIoctl(UMockdevIoctlClient* client);
    void SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, size_t size);
    void ReapUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg, size_t size);
    void DiscardUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    bool InterfaceRequest(UMockdevIoctlData* arg, unsigned& number);
    void TakeBoardReply();
    void FeedInUrbs();
    void Finish(Urb urb, int status, size_t actual);
    static void Release(Urb& urb);

    sim::SimBoard& board_;
    UMockdevIoctlBase* handler_;
    ReadinessGate gate_;
    mutable std::mutex mutex_;
    std::deque<Urb> waitingIn_;    // submitted IN URBs, oldest first
    std::deque<Bytes> inPackets_;  // packets the board has ready on its IN endpoint
    std::deque<Urb> reapable_;
    std::vector<Bytes> requests_;
    std::set<unsigned> claimed_;
    int claims_ = 0;
    int discardedReads_ = 0;
};

}  // namespace dmm::test
