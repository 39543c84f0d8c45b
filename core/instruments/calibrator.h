#pragma once

#include <string>
#include <string_view>

#include "core/instruments/serial_instrument.h"

namespace dmm {

// The range lock the drift test asks for: none, the 330 mV range (locked by an output of
// 100 mV) or the 3.3 V range (locked by 600 mV).
enum class CalibratorRangeLock { None, Lock330mV, Lock3V3 };

// The multi-product calibrator (Fluke 5500A) on 9600 8N1. It echoes every character, so
// the line read after a command begins with the command itself.
class Calibrator final : public SerialInstrument {
  public:
    Calibrator(SerialChannel& channel, Clock& clock, UiHooks& hooks)
        : SerialInstrument(channel, clock, hooks, "the calibrator") {}

    static constexpr SerialSettings kSettings{9600, 8, SerialParity::None, 0};
    static constexpr int64_t kReplyWaitMs = 500;

    // Identification on a COM index, with the setup dialog's messages.
    bool FlukeSelectClick(int comIndex);

    // One command line: text and "\r" (20 ms each), 500 ms, then one line back; "" when
    // no line came. Input left over from earlier commands is dropped first, so that an
    // old echo never passes for this command's reply.
    std::string Command(std::string_view text);
    // Text and "\r" without waiting for a reply.
    void Send(std::string_view text);
    // A step command: up to two attempts until a line comes back.
    std::string StepCommand(std::string_view text);
    std::string Standby() { return Command("STBY"); }
    // "OPER": true when a line came back.
    bool Operate(std::string* reply = nullptr);
    // STBY, then the range lock of the chosen range (only "RANGELCK OFF" for none).
    void RangeLock(CalibratorRangeLock lock);

    bool Reidentify(std::string& identity) override;

  private:
    // Keeps the summary's output: the last OUT command and whether the output is live.
    void NoteCommand(std::string_view text);
    std::string lastOut_;
    bool operating_ = false;
};

}  // namespace dmm
