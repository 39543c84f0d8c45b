#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/instruments/serial_port.h"

namespace dmm {

// The serial port record of one port user (the chip link, the calibrator, the power
// supply, the chamber, each meter channel). The handle is shared with the serial
// channel, which knows which COM index each open port belongs to.
// Thread: used by the thread of its port user only.
struct DevcRS232 {
    std::shared_ptr<SerialPort> handle;  // open port, or none
    std::string portName;                // "COM1".."COM16"
    int comIndex = -1;
    bool connected = false;  // identified (instruments) or open (chip link)
    int32_t baudRate = 9600;
    int16_t dataBits = 8;
    SerialParity parity = SerialParity::None;
    int32_t stopBits = 0;  // 0 one, 2 two
    // The last poll: the receive errors it reported and the bytes waiting.
    uint32_t errors = 0;
    size_t waiting = 0;

    // Set by the channel that opened the port: waits end early while it is true.
    const std::atomic<bool>* cancel = nullptr;

    bool Cancelled() const { return cancel && cancel->load(); }
    bool Open() const { return handle != nullptr && !handle->Lost(); }
    SerialSettings Settings() const { return {baudRate, dataBits, parity, stopBits}; }
    void Store(const SerialSettings& s) {
        baudRate = s.baudRate;
        dataBits = s.dataBits;
        parity = s.parity;
        stopBits = s.stopBits;
    }
};

}  // namespace dmm
