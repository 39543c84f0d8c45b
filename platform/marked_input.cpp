#include "platform/marked_input.h"

namespace dmm::platform {

MarkedInputDecoder::Marks MarkedInputDecoder::Feed(const uint8_t* data, size_t n,
                                                   std::deque<uint8_t>& out) {
    Marks marks;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = data[i];
        switch (state_) {
            case State::Plain:
                if (c == 0xFF)
                    state_ = State::AfterEscape;
                else
                    out.push_back(c);
                break;
            case State::AfterEscape:
                if (c == 0xFF) {
                    out.push_back(0xFF);
                    state_ = State::Plain;
                } else if (c == 0x00) {
                    state_ = State::AfterMark;
                } else {
                    // Not a mark after all: the 0xFF was data.
                    out.push_back(0xFF);
                    out.push_back(c);
                    state_ = State::Plain;
                }
                break;
            case State::AfterMark:
                if (c == 0x00) {
                    ++marks.breaks;
                } else {
                    ++marks.errors;
                    out.push_back(c);
                }
                state_ = State::Plain;
                break;
        }
    }
    return marks;
}

}  // namespace dmm::platform
