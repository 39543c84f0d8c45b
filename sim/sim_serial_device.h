#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/instruments/serial_port.h"

namespace dmm::sim {

// Faults a simulated serial device can be told to show.
struct SerialFaults {
    bool silent = false;         // takes everything, answers nothing
    bool wrongIdentity = false;  // answers as a different instrument would
    int garbageBytes = 0;        // noise in front of every reply
    bool splitReplies = false;   // every reply comes in two parts...
    int64_t splitGapMs = 300;    // ...this far apart
    int64_t extraDelayMs = 0;    // every reply this much later (a slow instrument)
};

// A device at the far end of a simulated serial line: it is handed what the program sent
// and schedules what it answers on the bench clock. The simulated serial bench moves the
// bytes through a pseudo-terminal. Thread: called with the serial bench's lock held.
class SimSerialDevice {
  public:
    virtual ~SimSerialDevice() = default;

    // Bytes from the program, arriving at nowMs on a line set up as `line`.
    void Receive(int64_t nowMs, const std::vector<uint8_t>& bytes, const SerialSettings& line);
    // Lets the device's own state move on with time (a chamber's temperature).
    virtual void Advance(int64_t /*nowMs*/) {}
    // Replies due by nowMs, in order.
    std::vector<uint8_t> TakeDue(int64_t nowMs);
    // When the next scheduled reply is due (-1: none).
    int64_t NextDueMs() const;

    SerialFaults& faults() { return faults_; }
    // Every byte the device was sent at its speed (the last few thousand), for tests that
    // check the wire.
    const std::vector<uint8_t>& received() const { return received_; }
    void ClearReceived() { received_.clear(); }
    // The speed the device's line runs at; bytes sent at another speed are noise to it
    // (0: it follows any speed).
    int32_t baudRate() const { return baudRate_; }
    void SetBaudRate(int32_t baud) { baudRate_ = baud; }
    virtual std::string Describe() const = 0;

  protected:
    virtual void OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) = 0;
    // Schedules a reply thinkMs after nowMs, with the faults applied.
    void Reply(int64_t nowMs, int64_t thinkMs, std::vector<uint8_t> bytes);
    void Reply(int64_t nowMs, int64_t thinkMs, const std::string& text) {
        Reply(nowMs, thinkMs, std::vector<uint8_t>(text.begin(), text.end()));
    }

  private:
    struct Scheduled {
        int64_t atMs;
        std::vector<uint8_t> bytes;
    };
    std::deque<Scheduled> out_;
    std::vector<uint8_t> received_;
    SerialFaults faults_;
    int32_t baudRate_ = 9600;
    uint32_t noiseSeed_ = 0x2545F491;
};

}  // namespace dmm::sim
