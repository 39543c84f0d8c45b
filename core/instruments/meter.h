#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/instruments/meter_frames.h"
#include "core/instruments/serial_instrument.h"

namespace dmm {

// One handheld reference meter channel (0..5). Its port is opened by Select on 9600 8N1
// with DTR on, which the meters' optical serial cables draw their power from.
class Meter final : public SerialInstrument {
  public:
    Meter(SerialChannel& channel, Clock& clock, UiHooks& hooks, int channelIndex);

    static constexpr SerialSettings kSettings{9600, 8, SerialParity::None, 0};
    static constexpr int64_t kFirstWaitMs = 1000;
    static constexpr int64_t kRetryPauseMs = 1000;
    static constexpr int64_t kSecondWaitMs = 500;
    static constexpr int64_t kRestWaitMs = 500;
    static constexpr int64_t kDrainPauseMs = 100;

    int channelIndex() const { return channel_index_; }
    // The meter section's "Select": opens the channel's port, marks it in use and asks the
    // meter once, so that the user learns whether a meter answers there ("Successful
    // Select BryMen k In COMn", else "BryMen k In COMn: no answer"). The channel stays in
    // use either way (a meter switched on later is read from then on); firstReading gets
    // the answer. False when the port cannot be opened: a channel that was in use on
    // another port stays there.
    bool Select(int comIndex, std::optional<BryMenReading>* firstReading = nullptr);

    // One meter exchange; true when a framed reply came (then in reply).
    bool ReadBryMen(std::vector<uint8_t>& reply);
    // ReadBryMen and its decoding; nothing when the meter did not answer.
    std::optional<BryMenReading> GetBryMenData();

    bool Reidentify(std::string& identity) override;

  private:
    int channel_index_;
};

}  // namespace dmm
