#include "core/analog/pro_counter.h"

#include "core/analog/block_field_ops.h"

namespace dmm {

ProCounter::ProCounter(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock, QObject* parent)
    : QObject(parent), chip_(chip), up_(up), hooks_(hooks), clock_(clock), Timer1(this) {
    qRegisterMetaType<CounterReading>();
    Timer1.setInterval(kTickMs);
    connect(&Timer1, &QTimer::timeout, this, &ProCounter::Timer1Timer);
    // The heartbeat fetched a report: the next tick turns it into a reading.
    connect(&up_, &TVz_UP::CountersFetched, this, [this] { reportPending_ = true; });
    chip_.SubscribeRefresh(PanelOrder::Counter, [this] {
        if (shown_) ReadCounters();
    });
}

const TRegField* ProCounter::Field(std::string_view name) const {
    const TRegField* field = FieldLookup ? FieldLookup(name) : nullptr;
    return field && field->IsDefined() ? field : nullptr;
}

void ProCounter::SetShown(bool shown) {
    shown_ = shown;
    // A window that opens shows the counters as they stand now.
    if (shown_) chip_.RefreshPanels();
}

bool ProCounter::WriteEnable(int value) {
    const TRegField* enable = Field("EN_CTR");
    return enable && WriteFieldValue(chip_, *enable, value);
}

bool ProCounter::WriteReload() {
    std::string refusal;
    const std::optional<CounterReload> typed =
        ReloadFromTexts(entries_.cta1.toStdString(), entries_.cta2.toStdString(), &refusal);
    if (!typed) {
        // The counter keeps the gate it has: a reload byte that is none is not sent.
        hooks_.SetStatusText(1, QString::fromStdString(refusal));
        return false;
    }
    const CounterReload& reload = *typed;
    offset_ = reload.offset;
    const TRegField* cta1 = Field("CTA1");
    const TRegField* cta2 = Field("CTA2");
    if (!cta1 || !cta2) return false;
    const size_t data = WriteDataOffset(chip_.target().interfaceKind);
    const auto low = static_cast<uint16_t>(cta1->registerIndex);
    const auto high = static_cast<uint16_t>(cta2->registerIndex);
    if (high == low + 1) {
        chip_.buffer()[data] = reload.r1;
        chip_.buffer()[data + 1] = reload.r2;
        return chip_.WriteChip(low, 2);
    }
    // A chip whose two reload registers are apart gets each byte where it belongs.
    chip_.buffer()[data] = reload.r1;
    if (!chip_.WriteChip(low, 1)) return false;
    chip_.buffer()[data] = reload.r2;
    return chip_.WriteChip(high, 1);
}

bool ProCounter::ENCTRClick() {
    if (up_.IntfReading()) {
        hooks_.SetStatusText(1, QStringLiteral("Please Stop INTF"));
        return false;
    }
    const TRegField* enable = Field("EN_CTR");
    if (!enable || !WriteEnable(0) || !WriteReload()) return false;
    // The enable goes from 0 to 1 as the image now holds it: the counter starts afresh.
    if (!ToggleField(chip_, *enable)) return false;
    hooks_.SetStatusText(1, ReloadStatusText(offset_));
    lastDataMs_ = clock_.NowMs();
    // A report fetched before the counter started again belongs to the old measurement.
    reportPending_ = false;
    return true;
}

bool ProCounter::BBGClick() {
    if (Running()) {
        Timer1.stop();
        emit RunningChanged(false);
        return true;
    }
    if (!byHand_) Timer1.start();
    emit RunningChanged(true);
    up_.SetIntfReading(false);
    if (!ENCTRClick()) {
        // Nothing to measure: the window shows it stopped, with the reason in the status.
        Timer1.stop();
        emit RunningChanged(false);
        return false;
    }
    up_.SetIntfReading(true);
    settled_ = false;
    return true;
}

bool ProCounter::CNSClick() {
    const TRegField* source = Field("CNS");
    return source && ToggleField(chip_, *source);
}

bool ProCounter::RangeClick(int index) {
    const auto ranges = CapacitanceRanges();
    if (index < 0 || index >= static_cast<int>(ranges.size())) return false;
    const CapacitanceRange& range = ranges[static_cast<size_t>(index)];
    const auto block = RangeBlock(range);
    const size_t data = WriteDataOffset(chip_.target().interfaceKind);
    std::copy(block.begin(), block.end(), chip_.buffer().begin() + static_cast<ptrdiff_t>(data));
    if (!chip_.WriteChip(kRangeBlockAddress, kRangeBlockSize)) return false;
    entries_.q = QString::fromLatin1(range.q);
    emit RangeChosen(index, entries_.q);
    ReadRamIntoImage(chip_);
    return true;
}

bool ProCounter::ReadCounters() {
    const TRegField* first = Field("CTC0");
    if (!first || !chip_.ReadChip(static_cast<uint16_t>(first->registerIndex), 9)) return false;
    for (int i = 0; i < 9; ++i)
        chip_.SetRegImage(first->registerIndex + i, chip_.buffer()[static_cast<size_t>(i)]);
    return true;
}

bool ProCounter::Restart(int disableValue) {
    return WriteEnable(disableValue) && WriteReload() && WriteEnable(1);
}

void ProCounter::Settle() {
    DelayMs(clock_, kSettleMs);
    settled_ = true;
}

void ProCounter::Complain(const QString& complaint) {
    // Said once for each text, not on every report.
    if (!complaint.isEmpty() && complaint != lastEntryComplaint_)
        hooks_.SetStatusText(1, complaint);
    lastEntryComplaint_ = complaint;
}

void ProCounter::Timer1Timer() {
    activityUp_ = !activityUp_;
    emit ActivityShown(activityUp_);

    if (reportPending_) {
        const std::array<uint8_t, 9> bytes = up_.CounterValues;
        if (const TRegField* first = Field("CTC0")) {
            for (int i = 0; i < 9; ++i)
                chip_.SetRegImage(first->registerIndex + i, bytes[static_cast<size_t>(i)]);
        }
        const CounterFactors factors = ReadCounterFactors(entries_.systemClock, entries_.q);
        Complain(factors.refusal);
        emit ReadingShown(ComputeReading(DecodeCounts(bytes), offset_, factors.clockHz, factors.q));
        reportPending_ = false;
        Restart(0);
        if (!settled_) Settle();
        lastDataMs_ = clock_.NowMs();
        return;
    }
    if (clock_.NowMs() - lastDataMs_ > kSilenceMs) {
        // No report for six seconds: start the counter over and say there is no reading.
        const TRegField* enable = Field("EN_CTR");
        const int stored = enable ? enable->Extract(chip_.GetRegImage(enable->registerIndex)) : 0;
        Restart(stored);
        lastDataMs_ = clock_.NowMs();
        Settle();
        const QString dashes = QString::fromLatin1(kNoFigure);
        emit ReadingShown({dashes, dashes, dashes, dashes});
    }
}

}  // namespace dmm
