#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The seam between the board link and the operating system. The link asks a BoardBus
// for candidate devices in its discovery order; each opened device is one object that
// moves bytes. Nothing above this seam knows whether bytes travel over libusb, hidraw
// or the simulator.
//
// Contract: all calls of one device come from one thread (the bench thread), one at a
// time. Every transfer returns within its time-out. A device object is closed by
// destroying it.
namespace dmm {

inline constexpr size_t kDeviceDescriptorSize = 148;
using DeviceDescriptorBlock = std::array<uint8_t, kDeviceDescriptorSize>;

// One pipe as the board's bulk driver reports it.
struct PipeInfo {
    uint16_t maximumPacketSize = 0;
    uint8_t endpointAddress = 0;  // bit 7 set = IN
    uint8_t interval = 0;
    uint32_t pipeType = 0;  // 2 = bulk
    uint32_t pipeHandle = 0;
    uint32_t maximumTransferSize = 0;
    uint32_t pipeFlags = 0;
};

// A device of the board's bulk personality (VID 0x0547 PID 0x1004).
class BulkDevice {
  public:
    virtual ~BulkDevice() = default;
    // The device descriptor block: the standard 18-byte USB device descriptor, zero-padded.
    virtual bool ReadDeviceDescriptor(DeviceDescriptorBlock& out) = 0;
    // The pipes of the board's interface in interface order (IN pipe first on the board).
    virtual bool ReadPipes(std::vector<PipeInfo>& out) = 0;
    // Writes n bytes to the endpoint (an OUT endpoint address).
    virtual bool BulkWrite(uint8_t endpoint, const uint8_t* data, size_t n) = 0;
    // Reads up to capacity bytes from the endpoint; received receives the count.
    virtual bool BulkRead(uint8_t endpoint, uint8_t* data, size_t capacity, size_t& received) = 0;
    // The error code of the last failed call (0 when none).
    virtual int LastError() const = 0;
};

struct HidAttributes {
    uint16_t inputReportLength = 0;   // including the report id byte
    uint16_t outputReportLength = 0;  // including the report id byte
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
};

// A device of the board's HID personality (VID 0x04D8 PID 0x2008 release 0x0727).
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    virtual bool GetAttributes(HidAttributes& out) = 0;
    // Writes one output report; report[0] is the report id. A report only partly
    // written is a failure.
    virtual bool WriteReport(const uint8_t* report, size_t length) = 0;
    // Reads one input report into report[0..length); report[0] receives the report id.
    // received: the bytes of the report that arrived, the id byte included.
    virtual bool ReadReport(uint8_t* report, size_t length, size_t& received) = 0;
    virtual int LastError() const = 0;
};

// Device discovery. Bulk devices are numbered 0..31, HID devices 0..127; an index that
// has no device (or cannot be opened) gives nullptr.
class BoardBus {
  public:
    virtual ~BoardBus() = default;
    virtual std::unique_ptr<BulkDevice> OpenBulk(int deviceNumber) = 0;
    virtual std::unique_ptr<HidDevice> OpenHid(int index) = 0;
};

// Packet trace: every packet sent (outgoing = true) and every reply received, as moved.
class PacketTrace {
  public:
    virtual ~PacketTrace() = default;
    virtual void OnPacket(bool outgoing, const uint8_t* data, size_t n) = 0;
};

}  // namespace dmm
