// The drift test's side that absorbs link gaps: which links dropped during a mode, the
// wait for them, the record of each gap, and the mode measured again from its start.
#include <QDir>
#include <QStringList>

#include <algorithm>
#include <utility>

#include "core/app/atomic_write.h"
#include "core/app/bench_core.h"
#include "core/measure/drift_files.h"
#include "core/measure/drift_test.h"

namespace dmm {
namespace {

// A mode whose links keep dropping is measured this often at most before the run gives up.
constexpr int kMostMeasurements = 10;

QString LinkName(int link) {
    if (link < 0) return QStringLiteral("the board");
    switch (static_cast<InstrumentId>(link)) {
        case InstrumentId::Calibrator:
            return QStringLiteral("the calibrator");
        case InstrumentId::PowerSupply:
            return QStringLiteral("the power supply");
        case InstrumentId::Chamber:
            return QStringLiteral("the chamber");
        default:
            return QStringLiteral("meter %1")
                .arg(link - static_cast<int>(InstrumentId::FirstMeter) + 1);
    }
}

QString LinkNames(const std::vector<int>& links) {
    QStringList names;
    for (int link : links) names << LinkName(link);
    return names.join(QStringLiteral(", "));
}

}  // namespace

void DriftTest::NoteInstrumentLosses() {
    for (int k = 0; k < kInstrumentCount; ++k) {
        if (!expected_[static_cast<size_t>(k)]) continue;
        const auto id = static_cast<InstrumentId>(k);
        lossesSeen_[static_cast<size_t>(k)] =
            instruments_.Ask<int>(id, [id](Instruments& i) { return i.Of(id).Losses(); });
    }
}

bool DriftTest::MeasureModeThroughGaps(int m, bool board, bool& meterPassDone) {
    std::vector<int> lost = LostLinks(m, board);
    for (int measurement = 1;; ++measurement) {
        if (!lost.empty() && (!AwaitLinks(lost, m) || !SoakAgainIfDrifted(m))) return !interrupted_;
        if (!Running()) return true;
        const bool meterPassBefore = meterPassDone;
        if (measurement > 1) {
            phase_ = DriftPhase::Measuring;
            Publish();
        }
        MeasureMode(m, board, meterPassDone);
        if (!Running()) return true;
        lost = LostLinks(m, board);
        if (lost.empty()) return true;
        // Nothing of the broken measurement is kept, in the tables or the files.
        const int s = step_;
        results_.SetFigures(s, m, AnalysisResults{});
        for (int k = 0; k < kDriftMeterChannels; ++k) results_.SetMeter(k, s, m, {});
        results_.SetMeasured(s, m, false, false);
        lastBWrite_ =
            WriteDriftBFiles(folder, results_, setup_.settings.measure != DriftMeasure::Adc, ui_);
        meterPassDone = meterPassBefore;
        if (measurement >= kMostMeasurements) {
            lostLink_ = LinkNames(lost);
            interrupted_ = true;
            return false;
        }
        ui_.SetStatusText(1, QStringLiteral("Mode %1 is measured again: %2 dropped during it")
                                 .arg(m)
                                 .arg(LinkNames(lost)));
    }
}

std::vector<int> DriftTest::LostLinks(int m, bool board) {
    std::vector<int> lost;
    BoardLink& link = core_.link();
    if (board && (link.LinkLosses() != boardLossesSeen_ || !link.devc().connected))
        lost.push_back(kBoardLink);
    boardLossesSeen_ = link.LinkLosses();
    const DriftMeasure measure = setup_.settings.measure;
    auto check = [&](InstrumentId id, bool used) {
        const size_t at = static_cast<size_t>(id);
        if (!used || !expected_[at]) return;
        const auto [portLost, losses] =
            instruments_.Ask<std::pair<bool, int>>(id, [id](Instruments& i) {
                const SerialInstrument& instrument = i.Of(id);
                return std::pair{instrument.PortLost(), instrument.Losses()};
            });
        if (portLost || losses != lossesSeen_[at]) lost.push_back(static_cast<int>(id));
        lossesSeen_[at] = losses;
    };
    check(InstrumentId::PowerSupply, setup_.power.Active(m));
    check(InstrumentId::Calibrator, setup_.fluke.Active(m));
    for (int k = 0; k < kDriftMeterChannels; ++k) check(MeterId(k), measure != DriftMeasure::Adc);
    for (int link : silent_)
        if (std::find(lost.begin(), lost.end(), link) == lost.end()) lost.push_back(link);
    silent_.clear();
    return lost;
}

void DriftTest::NoteSilent(InstrumentId id) {
    if (expected_[static_cast<size_t>(id)]) silent_.push_back(static_cast<int>(id));
}

bool DriftTest::LinkBack(int link) {
    if (link == kBoardLink) {
        BoardLink& board = core_.link();
        if (board.devc().connected) return true;
        board.CloseBoard();
        uint8_t status = 0;
        if (!board.OpenBoard(status)) return false;
        boardLossesSeen_ = board.LinkLosses();
        ui_.SetStatusText(0, QStringLiteral("USB On Line"));
        return true;
    }
    const auto id = static_cast<InstrumentId>(link);
    const auto [back, losses] = instruments_.Ask<std::pair<bool, int>>(id, [id](Instruments& i) {
        SerialInstrument& instrument = i.Of(id);
        const bool answers = instrument.Answers();
        return std::pair{answers, instrument.Losses()};
    });
    // The loss waited for is seen; only a later one breaks the next measurement.
    if (back) lossesSeen_[static_cast<size_t>(link)] = losses;
    return back;
}

bool DriftTest::AwaitLinks(const std::vector<int>& lost, int m) {
    Clock& clock = core_.clock();
    const int64_t start = clock.NowMs();
    const int64_t limitMs = int64_t{std::max(0, setup_.settings.reconnectWaitMinutes)} * 60 * 1000;
    const QString what = LinkNames(lost);
    phase_ = DriftPhase::Waiting;
    mode_ = m;
    waitingFor_ = what;
    if (std::find(lost.begin(), lost.end(), kBoardLink) != lost.end())
        ui_.SetStatusText(0, QStringLiteral("USB not Connect !!!"));
    ui_.SetStatusText(
        1, m > 0 ? QStringLiteral("Waiting for %1 (step %2, mode %3)").arg(what).arg(step_).arg(m)
                 : QStringLiteral("Waiting for %1 (step %2)").arg(what).arg(step_));
    waitLeftMs_ = limitMs;
    Publish();
    std::vector<int> missing = lost;
    for (;;) {
        std::vector<int> still;
        for (int link : missing)
            if (!LinkBack(link)) still.push_back(link);
        missing = std::move(still);
        const int64_t waited = clock.NowMs() - start;
        if (missing.empty() || waited >= limitMs || !Running()) {
            const bool back = missing.empty();
            if (back || Running()) RecordGap({what, step_, m, start - runStartMs_, waited, back});
            waitingFor_.clear();
            waitLeftMs_ = 0;
            phase_ = DriftPhase::Measuring;
            if (back) {
                ui_.SetStatusText(
                    1, m > 0 ? QStringLiteral("%1 back after %2 s: mode %3 is measured from its "
                                              "start")
                                   .arg(what)
                                   .arg(waited / 1000)
                                   .arg(m)
                             : QStringLiteral("%1 back after %2 s").arg(what).arg(waited / 1000));
                return true;
            }
            if (Running()) {
                lostLink_ = LinkNames(missing);
                interrupted_ = true;
            }
            return false;
        }
        waitLeftMs_ = limitMs - waited;
        Publish();
        Wait(kSecondMs, true);
    }
}

void DriftTest::RecordGap(const DriftGap& gap) {
    gaps_.push_back(gap);
    QByteArray text;
    for (const DriftGap& g : gaps_) text += DriftGapLine(g).toUtf8() + "\r\n";
    QString error;
    if (!WriteFileAtomically(QDir(folder).filePath(kDriftGapsFileName), text, error))
        ui_.SetStatusText(1, QStringLiteral("Gap record not written: ") + error);
}

bool DriftTest::ReadChamber(int& tenths, int m, bool* hadGap) {
    if (ReadTemp(tenths)) return true;
    if (hadGap) *hadGap = true;
    const DriftPhase phase = phase_;
    const int chamber = static_cast<int>(InstrumentId::Chamber);
    for (int attempt = 1; attempt <= kMostMeasurements; ++attempt) {
        if (!AwaitLinks({chamber}, m)) return false;
        phase_ = phase;
        // It may have been reset meanwhile: it gets the step's set point again.
        if (LoadTemp() && StartChamber() && ReadTemp(tenths)) return true;
    }
    lostLink_ = LinkName(chamber);
    interrupted_ = true;
    return false;
}

}  // namespace dmm
