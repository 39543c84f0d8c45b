#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/instruments/serial_instrument.h"

namespace dmm {

// True for an identity reply of the power supply this bench drives: longer than eight
// characters and beginning with "HEWLETT-PACKARD".
bool IsPowerSupplyIdentity(std::string_view reply);
// True for a command that switches the output off ("OUTP OFF" in either case), which a
// step must not follow with "OUTP ON".
bool BeginsWithOutputOff(std::string_view command);

// The programmable power supply on 9600 8N2; it listens only once DTR is set.
class PowerSupply final : public SerialInstrument {
  public:
    PowerSupply(SerialChannel& channel, Clock& clock, UiHooks& hooks)
        : SerialInstrument(channel, clock, hooks, "the power supply") {}

    static constexpr SerialSettings kSettings{9600, 8, SerialParity::None, 2};

    bool PowerSelectClick(int comIndex);
    // One command by query, sent a second time when nothing came back; true when a
    // reply came.
    bool Command(std::string_view text, std::string* reply = nullptr);
    // A step command, then "OUTP ON" unless the step switched the output off.
    void StepCommand(std::string_view text);
    // Asks the output's state ("OUTP?", a second time when nothing came back): whether it
    // is on, or nothing when the supply did not answer. The set commands get no reply,
    // so this is how a step learns that the supply heard it.
    std::optional<bool> OutputOn();
    // "OUTP OFF" at once, without waiting for a reply (the program is closing).
    void SwitchOffNow();

    bool Reidentify(std::string& identity) override;

  private:
    // Keeps the summary's output: the last VOLT and CURR commands and the output state.
    void NoteCommand(std::string_view text);
    std::string volts_, amps_;
    bool on_ = false;
};

}  // namespace dmm
