#include "core/instruments/instruments.h"

namespace dmm {

Instruments::Instruments(SerialChannel& channel, Clock& clock, UiHooks& hooks)
    : channel_(channel),
      calibrator_(channel, clock, hooks),
      power_(channel, clock, hooks),
      chamber_(channel, clock, hooks) {
    for (int k = 0; k < kMeterChannelCount; ++k) {
        meters_[static_cast<size_t>(k)] = std::make_unique<Meter>(channel, clock, hooks, k);
    }
}

void Instruments::LeaveBenchSafe() {
    if (calibrator_.connected()) calibrator_.Send("STBY");
    if (power_.connected()) power_.SwitchOffNow();
}

std::vector<Instruments::Connected> Instruments::ConnectedSummaries() {
    std::vector<Connected> connected;
    for (int i = 0; i < kInstrumentCount; ++i) {
        const auto id = static_cast<InstrumentId>(i);
        InstrumentSummary summary = Of(id).Summary();
        if (!summary.connected) continue;
        std::string role = id == InstrumentId::Calibrator    ? "calibrator"
                           : id == InstrumentId::PowerSupply ? "power supply"
                           : id == InstrumentId::Chamber     ? "chamber"
                                                             : "meter " + std::to_string(i - 2);
        connected.push_back({std::move(role), std::move(summary)});
    }
    return connected;
}

SerialInstrument& Instruments::Of(InstrumentId id) {
    switch (id) {
        case InstrumentId::Calibrator:
            return calibrator_;
        case InstrumentId::PowerSupply:
            return power_;
        case InstrumentId::Chamber:
            return chamber_;
        default:
            return meter(static_cast<int>(id) - static_cast<int>(InstrumentId::FirstMeter));
    }
}

}  // namespace dmm
