#pragma once

#include <cstdint>

namespace dmm {

// The live-reading switches of the ADC1 and ADC2/ADP panels' displays.
struct LiveFlags {
    bool adc1Display = false;
    bool adc2Display = false;
};

// What a capture needs from the owner of the heartbeat (the processor centre): the
// heartbeat must not poll the chip while a capture reads it, the live displays must not
// consume results meant for the capture, and both share the accumulated interrupt-flag
// byte.
//
// Contract: every call comes from the thread that runs the capture (the bench thread),
// in this order: HeartbeatRunning, SaveAndClearLiveFlags, SetHeartbeatRunning(false),
// any number of InterruptFlags/SetInterruptFlags, then RestoreLiveFlags with what
// SaveAndClearLiveFlags returned and SetHeartbeatRunning with what HeartbeatRunning
// returned. The restoring calls are made on every way out of a capture, failures
// included.
class CaptureHost {
  public:
    virtual ~CaptureHost() = default;

    virtual bool HeartbeatRunning() const = 0;
    virtual void SetHeartbeatRunning(bool running) = 0;
    // Returns the switches as they were and turns both off.
    virtual LiveFlags SaveAndClearLiveFlags() = 0;
    virtual void RestoreLiveFlags(const LiveFlags& flags) = 0;
    // The accumulated interrupt-flag byte (bit per result, cleared when consumed).
    virtual uint8_t InterruptFlags() const = 0;
    virtual void SetInterruptFlags(uint8_t flags) = 0;
};

// A host for benches without a heartbeat (dmmctl, tests, benchmarks): it only keeps
// the values it is given.
class StandaloneCaptureHost final : public CaptureHost {
  public:
    bool HeartbeatRunning() const override { return heartbeat; }
    void SetHeartbeatRunning(bool running) override { heartbeat = running; }
    LiveFlags SaveAndClearLiveFlags() override {
        const LiveFlags saved = live;
        live = {};
        return saved;
    }
    void RestoreLiveFlags(const LiveFlags& flags) override { live = flags; }
    uint8_t InterruptFlags() const override { return interruptFlags; }
    void SetInterruptFlags(uint8_t flags) override { interruptFlags = flags; }

    bool heartbeat = false;
    LiveFlags live;
    uint8_t interruptFlags = 0;
};

}  // namespace dmm
