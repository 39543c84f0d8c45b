// The drift test's chamber side: the step's set point and ramps, the run command, the
// temperature read, the approach and the soak, and the soak again after a gap.
#include <QString>

#include <cstdio>

#include "core/app/bench_core.h"
#include "core/instruments/chamber_frames.h"
#include "core/measure/drift_test.h"

namespace dmm {
namespace {

QString Fixed(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return QString::fromLatin1(text);
}

QString TimeOfDay(int64_t ms) {
    const int64_t seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

bool DriftTest::LoadTemp() {
    const PlanRow row = setup_.plan[static_cast<size_t>(step_ - 1)];
    return instruments_.Ask<bool>(InstrumentId::Chamber, [row](Instruments& i) {
        Chamber& chamber = i.chamber();
        auto write = [&chamber](uint16_t address, double a, double b) {
            const std::vector<uint16_t> words{ChamberSetPointWord(a), ChamberSetPointWord(b)};
            if (chamber.ChamberWrite(address, words)) return true;
            DelayMs(chamber.clock(), Chamber::kRetryWaitMs);
            return chamber.ChamberWrite(address, words);
        };
        if (!write(kChamberSetPoint, row.temperature, row.humidity)) return false;
        // The ramps are a refinement: a chamber that refuses them still runs the plan.
        write(kChamberRamp, row.temperatureRamp, row.humidityRamp);
        return true;
    });
}

bool DriftTest::StartChamber() {
    auto run = [this] {
        return instruments_.Ask<bool>(InstrumentId::Chamber,
                                      [](Instruments& i) { return i.chamber().ChamberRun(); });
    };
    if (run()) return true;
    Wait(kSecondMs, false);
    return run();
}

bool DriftTest::ReadTemp(int& tenths) {
    struct Reading {
        bool ok = false;
        uint16_t first = 0;
    };
    const Reading reading = instruments_.Ask<Reading>(InstrumentId::Chamber, [](Instruments& i) {
        Reading r;
        uint16_t second = 0;
        r.ok = i.chamber().ReadTemperature(r.first, second);
        return r;
    });
    if (!reading.ok) return false;
    tenths = ChamberTenths(reading.first);
    chamberTenths_ = tenths;
    return true;
}

DriftEnd DriftTest::RunWithChamber() {
    const int count = static_cast<int>(setup_.plan.size());
    if (step_ > count) return DriftEnd::Finished;
    if (!LoadTemp()) return DriftEnd::ChamberFailed;
    if (!StartChamber()) {
        ui_.ShowMessage(QString::fromUtf8(kChamberRunErrorText));
        return DriftEnd::ChamberStartFailed;
    }
    while (Running() && step_ <= count) {
        workingStep_ = step_;
        DriftEnd end = DriftEnd::Finished;
        if (!SettleAtPlanTemperature(end)) return end;
        TTESTCOM();
        if (interrupted_) return DriftEnd::LinkLost;
        if (step_ <= count && !LoadTemp()) return DriftEnd::ChamberFailed;
    }
    return Running() ? DriftEnd::Finished : DriftEnd::Stopped;
}

bool DriftTest::SettleAtPlanTemperature(DriftEnd& end) {
    const int64_t soakMs = int64_t{setup_.settings.soakMinutes} * 60 * 1000;
    const double target = setup_.plan[static_cast<size_t>(step_ - 1)].temperature;
    Clock& clock = core_.clock();
    auto ended = [&] {
        // A chamber that did not come back leaves the run resumable at the mode it was to
        // measure next.
        if (interrupted_) WriteJournal(firstMode_);
        end = interrupted_ ? DriftEnd::LinkLost : DriftEnd::Stopped;
        return false;
    };
    for (;;) {
        phase_ = DriftPhase::Approach;
        soakLeftMs_ = soakMs;
        for (;;) {
            ui_.ProcessPendingEvents();
            int tenths = 0;
            if (!ReadChamber(tenths, 0)) return ended();
            ui_.SetStatusText(1, Fixed(tenths / 10.0));
            // The progress line follows the chamber as it moves.
            Publish();
            if (AtPlanTemperature(tenths, target)) break;
            if (!Running()) return ended();
            Wait(kSecondMs, true);
        }
        phase_ = DriftPhase::Soak;
        Publish();
        int64_t soakStart = clock.NowMs();
        for (;;) {
            int tenths = 0;
            const int64_t before = clock.NowMs();
            bool gap = false;
            if (!ReadChamber(tenths, 0, &gap)) return ended();
            // A gap in the chamber's link does not count as soak time.
            if (gap) soakStart += clock.NowMs() - before;
            if (!AtPlanTemperature(tenths, target)) break;
            ui_.ProcessPendingEvents();
            if (!Running()) return ended();
            const int64_t elapsed = clock.NowMs() - soakStart;
            ui_.SetStatusText(1, Fixed(tenths / 10.0));
            ui_.SetStatusText(2, TimeOfDay(elapsed));
            soakLeftMs_ = std::max<int64_t>(0, soakMs - elapsed);
            Publish();
            if (elapsed > soakMs) return true;
            Wait(kSecondMs, true);
        }
    }
}

bool DriftTest::SoakAgainIfDrifted(int m) {
    if (!withChamber_) return true;
    int tenths = 0;
    const double target = setup_.plan[static_cast<size_t>(step_ - 1)].temperature;
    if (!ReadChamber(tenths, m)) return false;
    phase_ = DriftPhase::Measuring;
    if (AtPlanTemperature(tenths, target)) return true;
    ui_.SetStatusText(1, QStringLiteral("The chamber left its band during the gap (%1): mode %2 "
                                        "waits for the soak again")
                             .arg(Fixed(tenths / 10.0))
                             .arg(m));
    DriftEnd end = DriftEnd::Finished;
    const bool settled = SettleAtPlanTemperature(end);
    phase_ = DriftPhase::Measuring;
    mode_ = m;
    Publish();
    return settled;
}

}  // namespace dmm
