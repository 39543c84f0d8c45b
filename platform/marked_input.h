#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace dmm::platform {

// A tty with PARMRK set delivers a received 0xFF as FF FF, a byte that came with a parity
// or framing error as FF 00 X, and a break as FF 00 00. This turns that stream back into
// the data bytes and counts the marks. A mark cut between two reads is finished by the
// next one.
class MarkedInputDecoder {
  public:
    struct Marks {
        size_t errors = 0;  // bytes received with a parity or framing error (kept as data)
        size_t breaks = 0;
    };
    Marks Feed(const uint8_t* data, size_t n, std::deque<uint8_t>& out);

  private:
    enum class State { Plain, AfterEscape, AfterMark };
    State state_ = State::Plain;
};

}  // namespace dmm::platform
