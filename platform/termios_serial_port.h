#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/instruments/serial_port.h"
#include "platform/marked_input.h"

struct serial_icounter_struct;

namespace dmm::platform {

// A serial port through POSIX termios. Chosen over QSerialPort because the bench needs
// what a Windows port reports through ClearCommError: parity and framing errors on the
// received bytes (Qt 6 no longer reports them) and an exact count of the bytes waiting
// without an event loop. Received bytes are taken with PARMRK, so every byte that came
// with a line error is known; where the driver keeps line counters (TIOCGICOUNT) they
// tell parity from framing errors, elsewhere a marked byte counts as a parity error.
// The line is raw: no echo, no line editing, no XON/XOFF (the instruments' frames carry
// any byte value); hardware flow control stays as the port had it.
class TermiosSerialPort final : public SerialPort {
  public:
    static std::unique_ptr<TermiosSerialPort> Open(const std::string& path, std::string& error);
    ~TermiosSerialPort() override;

    bool ReadSettings(SerialSettings& out) override;
    bool Configure(const SerialSettings& settings) override;
    bool Write(const uint8_t* data, size_t n) override;
    SerialPoll Poll() override;
    size_t Read(uint8_t* data, size_t n) override;
    bool SetDtr(bool on) override;
    bool Lost() const override { return lost_; }
    std::string LastError() const override { return lastError_; }

  private:
    explicit TermiosSerialPort(int fd);
    void Drain();
    uint32_t CounterErrors();
    bool Failed(const char* what);

    int fd_;
    std::deque<uint8_t> queue_;
    MarkedInputDecoder decoder_;
    uint32_t pending_ = 0;
    size_t markedSinceCounters_ = 0;
    bool lost_ = false;
    bool counters_ = false;
    std::unique_ptr<serial_icounter_struct> icount_;
    std::string lastError_;
};

// The machine's serial ports, opened through termios.
class SystemSerialPorts final : public SerialPortOpener {
  public:
    std::unique_ptr<SerialPort> Open(const std::string& path, std::string& error) override {
        return TermiosSerialPort::Open(path, error);
    }
};

// The serial ports of this machine, with the names that survive re-plugging: the
// /dev/serial/by-id name of a USB adapter (it carries the adapter's serial number).
std::vector<SerialPortInfo> ListSystemSerialPorts();

}  // namespace dmm::platform
