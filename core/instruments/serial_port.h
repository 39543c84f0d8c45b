#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The seam between the serial channel and the operating system: one open serial port
// that moves bytes, reports what waits and which line errors came in.
//
// Contract: a SerialPortOpener opens a port by its system path; the SerialChannel does
// that for a port user and hands the port to the user's DevcRS232 record, which owns it
// until the channel's Close gives it back (the port closes when the last holder lets it
// go: a port is closed by destroying it). Order: Configure before the first Write or
// Poll (a freshly opened port keeps whatever line it had); then Write, Poll, Read and
// SetDtr in any order. Poll moves received bytes into the port's queue and reports how
// many wait and the line errors since the previous Poll; Read takes from that queue.
// A port is used by one thread at a time (the thread of its port user); calls never
// block for more than a few milliseconds: Poll and Read only take what is already there,
// Write returns once the bytes are handed to the driver. Once Lost() is true (the device
// went away) every call fails at once.
namespace dmm {

// Parity codes as the port records store them.
enum class SerialParity : int16_t { None = 0, Odd = 1, Even = 2 };

struct SerialSettings {
    int32_t baudRate = 9600;
    int16_t dataBits = 8;
    SerialParity parity = SerialParity::None;
    int32_t stopBits = 0;  // 0 one, 2 two
    bool operator==(const SerialSettings&) const = default;
};

// Error bits of one poll (the receive errors since the previous poll).
inline constexpr uint32_t kSerialOverrun = 0x0002;
inline constexpr uint32_t kSerialParityError = 0x0004;
inline constexpr uint32_t kSerialFramingError = 0x0008;
inline constexpr uint32_t kSerialBreak = 0x0010;
inline constexpr uint32_t kSerialLost = 0x8000;  // the device is gone

struct SerialPoll {
    uint32_t errors = 0;
    size_t waiting = 0;  // received bytes ready for Read
};

class SerialPort {
  public:
    virtual ~SerialPort() = default;
    virtual bool ReadSettings(SerialSettings& out) = 0;
    // Sets speed and character format; the port's other settings stay as they were.
    virtual bool Configure(const SerialSettings& settings) = 0;
    // Writes all n bytes or fails.
    virtual bool Write(const uint8_t* data, size_t n) = 0;
    // What waits and the errors since the last poll.
    virtual SerialPoll Poll() = 0;
    // Takes up to n waiting bytes; never waits for more.
    virtual size_t Read(uint8_t* data, size_t n) = 0;
    // The DTR modem line; false where the device has no modem lines.
    virtual bool SetDtr(bool on) = 0;
    virtual bool Lost() const = 0;
    virtual std::string LastError() const = 0;
};

// Opens ports by their system path ("/dev/ttyUSB0").
class SerialPortOpener {
  public:
    virtual ~SerialPortOpener() = default;
    // nullptr and why in error when the port cannot be opened.
    virtual std::unique_ptr<SerialPort> Open(const std::string& path, std::string& error) = 0;
};

// A serial port of the machine as a listing reports it.
struct SerialPortInfo {
    std::string path;         // what Open takes
    std::string name;         // "ttyUSB0"
    std::string stableKey;    // survives re-plugging (a by-id name), else the path
    std::string description;  // "FT232R USB UART"
    std::string serialNumber;
    bool builtIn = false;  // a port of the machine itself rather than a plug-in adapter
};

}  // namespace dmm
