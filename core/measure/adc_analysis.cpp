#include "core/measure/adc_analysis.h"

#include <algorithm>
#include <cmath>

#include "core/app/bench_core.h"
#include "core/measure/adc_csv.h"
#include "core/measure/adc_statistics.h"
#include "core/measure/fixed_text.h"
#include "core/measure/program_spectrum.h"

namespace dmm {
namespace {

constexpr int kStatusPanelReplies = 2;
constexpr int kGaugeMaximum = 100;
constexpr uint16_t kAdcSetupFirst = 0x3C;
constexpr int kAdcSetupCount = 5;
constexpr uint16_t kAdcSetupControl = 0x30;
constexpr int64_t kWaitPassMs = 10;

}  // namespace

// Takes the chip away from the heartbeat and the live displays for the length of a
// capture, and gives it back on every way out.
class AdcAnalysis::HostGuard {
  public:
    explicit HostGuard(CaptureHost& host)
        : host_(host), heartbeat_(host.HeartbeatRunning()), live_(host.SaveAndClearLiveFlags()) {
        host_.SetHeartbeatRunning(false);
    }
    ~HostGuard() {
        host_.RestoreLiveFlags(live_);
        host_.SetHeartbeatRunning(heartbeat_);
    }
    HostGuard(const HostGuard&) = delete;
    HostGuard& operator=(const HostGuard&) = delete;

  private:
    CaptureHost& host_;
    bool heartbeat_;
    LiveFlags live_;
};

AdcAnalysis::AdcAnalysis(BenchCore& core, CaptureHost& host, UiHooks& ui)
    : core_(core),
      host_(host),
      ui_(ui),
      data_(core.adc()),
      windowCopy_(std::make_unique<double[]>(kSampleBufferSize)),
      cells_(std::make_unique<double[]>(kSampleBufferSize)) {
    NPointIndexChange();
    TXScaleChange();
}

void AdcAnalysis::SetSettings(const CaptureSettings& settings) {
    const bool lengthChanged = settings.NPointIndex != settings_.NPointIndex;
    const bool scaleChanged = settings.TXScale != settings_.TXScale;
    const bool spectrumChanged = settings.spectrumWindow != settings_.spectrumWindow ||
                                 settings.spectrumAverages != settings_.spectrumAverages;
    settings_ = settings;
    if (lengthChanged) NPointIndexChange();
    if (scaleChanged) TXScaleChange();
    if (spectrumChanged) SetSpectrumOptions(settings.spectrumWindow, settings.spectrumAverages);
    core_.chip().ComFun = settings_.ComFun;
}

void AdcAnalysis::NPointIndexChange() {
    data_.captureLength = settings_.CaptureLength();
}

void AdcAnalysis::TXScaleChange() {
    data_.scale = AnalysisScaleFor(settings_.ResultBits(), core_.target().interfaceKind);
}

double AdcAnalysis::Cell(int i) const {
    return i >= 0 && i < cellCount_ ? cells_[static_cast<size_t>(i)] : 0.0;
}

QString AdcAnalysis::CellText(int i) const {
    if (i < 0 || i >= cellCount_) return {};
    return FormatCell(cells_[static_cast<size_t>(i)], cellFormat_);
}

void AdcAnalysis::ClearGrid(int from) {
    const int end = std::max(cellCount_, from);
    std::fill(cells_.get() + from, cells_.get() + end, 0.0);
    cellCount_ = std::min(cellCount_, from);
}

bool AdcAnalysis::CatchACDCOM(const QString& referenceText, CaptureSource source) {
    // The capture loop handles queued events: a second start must not nest in it.
    if (running_.load()) return true;
    data_.results = {};
    figures_ = {};
    mean_ = rootMeanSquare_ = 0.0;
    captureCount_ = 0;
    averageFactor_ = 1;
    const bool complete = ReadADCALL(source);
    if (complete) RunSpectrum(targetCount_);
    ui_.SetStatusText(kStatusPanelReplies, complete ? kReadCompleteText : kReadErrorText);
    ComputeFigures(validCount_, source, referenceText);
    return true;
}

void AdcAnalysis::FetchRecords(CaptureSource source, std::vector<ResultRecord>& records) {
    records.clear();
    BoardLink& link = core_.link();
    ChipAccess& chip = core_.chip();
    if (active_.ENInterrupt) {
        AdcStreamRecords reply;
        const int count = link.AdcStreamRead(reply);
        for (int k = 0; k < count; ++k) records.push_back(reply.records[static_cast<size_t>(k)]);
        return;
    }
    if (!chip.ReadChip(active_.flags.address, 1)) return;
    uint8_t flags = host_.InterruptFlags() | chip.buffer()[0];
    const uint8_t mask = active_.flags.sourceMasks[static_cast<size_t>(source)];
    if (flags & mask) {
        flags = static_cast<uint8_t>(flags & ~mask);
        const CaptureSourceInfo& info = SourceInfo(source);
        if (chip.ReadChip(info.resultAddress, info.resultBytes)) {
            ResultRecord record{};
            std::copy_n(chip.buffer().begin(), info.resultBytes, record.begin());
            records.push_back(record);
        }
    }
    host_.SetInterruptFlags(flags);
}

void AdcAnalysis::StoreSample(const DecodedSample& sample, CaptureSource source,
                              std::vector<double>& published) {
    const auto i = static_cast<size_t>(captureCount_);
    data_.values()[i] = sample.value;
    data_.spectrumReal()[i] = sample.value;
    data_.spectrumImag()[i] = -sample.value;
    windowCopy_[i] = sample.value;
    cells_[i] = sample.cell;
    published[i] = sample.value;
    // The sums run over what the grid shows; an RMS sample counts with its full root.
    const double term = source == CaptureSource::RMS ? sample.value : sample.cell;
    sum_ += term;
    sumSquares_ += static_cast<long double>(term) * term;
    ++captureCount_;
    cellCount_ = captureCount_;
}

bool AdcAnalysis::ReadADCALL(CaptureSource source) {
    if (running_.load()) return false;
    // Controls changed while the capture runs (their events are handled inside the loop)
    // take effect with the next capture.
    active_ = settings_;
    Clock& clock = core_.clock();
    BoardLink& link = core_.link();
    const int length = data_.captureLength;

    ClearGrid(0);
    data_.Clear(length);
    std::fill_n(windowCopy_.get(), std::clamp(length, 0, kSampleBufferSize), 0.0);
    cellFormat_ = CellFormatOf(source);
    lastSource_ = source;
    captureCount_ = 0;
    const int64_t start = clock.NowMs();
    ui_.SetGauge(0, kGaugeMaximum);
    ui_.ShowGauge(true);
    // The target never exceeds the buffers: lengths come from the sample-point items.
    targetCount_ = length < 1 ? kDefaultCaptureLength : std::min(length, kSampleBufferSize);
    sum_ = 0.0;
    sumSquares_ = 0.0L;
    stopRequested_.store(false);
    running_.store(true);
    // Whatever happens below, the analysis is idle again afterwards.
    struct IdleOnExit {
        std::atomic<bool>& running;
        ~IdleOnExit() { running.store(false); }
    } idleOnExit{running_};
    const int32_t divisor = data_.scale.divisor;
    std::shared_ptr<std::vector<double>> published = monitor_.Begin(source, targetCount_, divisor);

    firstSampleMs_ = lastSampleMs_ = start;
    readerWaited_ = false;
    chipRegisters_ = {};
    CaptureEnd end = CaptureEnd::Complete;
    if (core_.target().interfaceKind == InterfaceKind::DMM) {
        HostGuard guard(host_);
        SnapshotChipRegisters();
        if (active_.ENInterrupt) {
            // Its answer is not needed: a board that did not start streaming shows as no records.
            link.AdcStreamControl(core_.chip().Photo, true, SourceInfo(source).streamMask);
        }
        std::vector<ResultRecord> records;
        records.reserve(AdcStreamRecords::kMaxRecords);
        int decoded = 0;
        int shownCount = -1;
        int shownGauge = 0;
        int64_t lastSampleMs = start;
        // A fetch with this many records leaves the reader no sign that it has caught up.
        const size_t fullFetch = active_.ENInterrupt ? AdcStreamRecords::kMaxRecords : 1;
        do {
            FetchRecords(source, records);
            const int countBefore = captureCount_;
            for (const ResultRecord& record : records) {
                // The first results of a capture come from an unsettled filter.
                if (decoded < kDiscardedSamples) {
                    ++decoded;
                    continue;
                }
                // A reply may carry more records than the capture still needs.
                if (captureCount_ >= targetCount_) break;
                StoreSample(DecodeRecord(record, source, divisor), source, *published);
            }
            const int64_t now = clock.NowMs();
            if (!records.empty()) lastSampleMs = now;
            if (captureCount_ > countBefore) {
                if (countBefore == 0) firstSampleMs_ = now;
                lastSampleMs_ = now;
            }
            if (countBefore > 0 && captureCount_ < targetCount_ && records.size() < fullFetch)
                readerWaited_ = true;

            // In polling mode a pass reads at most one record: the field shows 1 once one came.
            const int fetchCount = active_.ENInterrupt
                                       ? static_cast<int>(records.size())
                                       : std::max(shownCount, static_cast<int>(records.size()));
            if (fetchCount != shownCount) {
                shownCount = fetchCount;
                ui_.SetStatusText(kStatusPanelReplies, QString::number(fetchCount));
            }
            const int gauge =
                static_cast<int>(int64_t{captureCount_} * kGaugeMaximum / targetCount_);
            if (gauge != shownGauge) {
                shownGauge = gauge;
                ui_.SetGauge(gauge, kGaugeMaximum);
            }
            monitor_.Publish(captureCount_, now - start);
            ui_.ProcessPendingEvents();

            // A failed transfer closes the link, and nothing reopens it while the heartbeat
            // is off: waiting on would never bring another sample.
            if (!core_.target().devc.HandleValid()) {
                end = CaptureEnd::LinkLost;
                break;
            }
            if (active_.idleTimeoutMs > 0 && now - lastSampleMs >= active_.idleTimeoutMs) {
                end = CaptureEnd::TimedOut;
                break;
            }
        } while (captureCount_ < targetCount_ && !stopRequested_.load());
        if (end == CaptureEnd::Complete && captureCount_ < targetCount_) end = CaptureEnd::Stopped;
    }

    elapsedMs_ = static_cast<double>(clock.NowMs() - start);
    lineSpacingHz_ = elapsedMs_ > 0.0 ? 1.0 / elapsedMs_ * 1000.0 : 1.0;
    // Sent after every capture, whatever the mode: a stream left running would fill the
    // board's queue with stale results.
    link.AdcStreamControl(core_.chip().Photo, false, 0);
    ui_.ShowGauge(false);

    // A stopped capture keeps what it took: the figures and the chart describe those samples.
    if (captureCount_ > 0) {
        mean_ = sum_ / captureCount_;
        rootMeanSquare_ = static_cast<double>(std::sqrt(sumSquares_ / captureCount_));
    } else {
        mean_ = rootMeanSquare_ = 0.0;
    }
    validCount_ = captureCount_;
    lastEnd_ = end;
    captureTime_ = QDateTime::currentDateTimeUtc();
    monitor_.Finish(captureCount_, static_cast<int64_t>(elapsedMs_));
    return end == CaptureEnd::Complete;
}

void AdcAnalysis::RunSpectrum(int n) {
    n = std::min(Fft::FloorPowerOfTwo(n), kSampleBufferSize);
    if (n < 1) return;
    ProgramSpectrum(data_.values().first(static_cast<size_t>(n)), data_.spectrumReal(),
                    data_.spectrumImag(), data_.levels());
}

void AdcAnalysis::ComputeFigures(int count, CaptureSource gainSource,
                                 const QString& referenceText) {
    count = std::clamp(count, 0, cellCount_);
    StatisticsInput input;
    input.cells = {cells_.get(), static_cast<size_t>(count)};
    input.values = data_.values().first(static_cast<size_t>(count));
    input.mean = mean_;
    input.divisor = data_.scale.divisor;
    input.analysisBits = data_.scale.analysisBits;
    input.gain = GetGain(gainSource);
    input.referenceVolts = ParseReferenceVolts(referenceText);
    data_.results = ComputeStatistics(input);

    // The added figures: over the results in counts of the scale, with the captured
    // source's own gain (the program's averaged figures take ADC1's, whatever was captured).
    const int32_t divisor = BlockDivisor();
    block_.assign(static_cast<size_t>(count), 0.0);
    for (int i = 0; i < count; ++i)
        block_[static_cast<size_t>(i)] = data_.values()[static_cast<size_t>(i)] / divisor;
    BlockInput& b = blockInput_;
    b.x = block_;
    b.raw = data_.values().first(static_cast<size_t>(count));
    b.source = lastSource_;
    b.analysisBits = data_.scale.analysisBits;
    b.gain = gainSource == lastSource_ ? input.gain : GetGain(lastSource_);
    b.referenceVolts = input.referenceVolts;
    b.fieldRateHz = OutputRateHz(lastSource_, ReadRateFields());
    if (b.fieldRateHz) *b.fieldRateHz /= averageFactor_;
    // The samples' own span leaves out the start and the settling results.
    b.stream = active_.ENInterrupt;
    b.sampleSpanMs = static_cast<double>(lastSampleMs_ - firstSampleMs_);
    b.readerWaited = readerWaited_;
    if (count > 1 && b.sampleSpanMs > 0.0)
        b.measuredRateHz = (count - 1) * 1000.0 / b.sampleSpanMs;
    else
        b.measuredRateHz = elapsedMs_ > 0.0 ? count * 1000.0 / elapsedMs_ : 0.0;
    b.original = data_.results;
    ComputeBlock();
}

void AdcAnalysis::ComputeBlock() {
    blockInput_.window = settings_.spectrumWindow;
    blockInput_.spectrumAverages = settings_.spectrumAverages;
    blockInput_.x = block_;
    figures_ = ComputeBlockFigures(blockInput_);
}

void AdcAnalysis::SetSpectrumOptions(SpectrumWindow window, int spectrumAverages) {
    settings_.spectrumWindow = window;
    settings_.spectrumAverages = std::max(spectrumAverages, 1);
    if (running_.load() || block_.empty()) return;
    ComputeBlock();
}

int32_t AdcAnalysis::BlockDivisor() const {
    return lastSource_ == CaptureSource::RMS ? 1 : std::max(data_.scale.divisor, 1);
}

RateFields AdcAnalysis::ReadRateFields() {
    ChipAccess& chip = core_.chip();
    auto read = [&](const char* name) -> std::optional<int> {
        const TRegField* field = core_.chipModel().Field(name);
        if (!field || !field->IsDefined()) return std::nullopt;
        if (!chip.ReadChip(static_cast<uint16_t>(field->registerIndex), 1)) return std::nullopt;
        return field->Extract(chip.buffer()[0]);
    };
    RateFields f;
    f.ENI_XI = read("ENI_XI");
    if (!f.ENI_XI) return f;  // without the clock field no rate can be known
    if (lastSource_ == CaptureSource::ADCS) {
        f.AD1OSR = read("AD1OSR");
        return f;
    }
    f.FCLK_SEL = read("FCLK_SEL");
    f.AD2OSR = read("AD2OSR");
    if (lastSource_ != CaptureSource::ADCF) f.SELAVG = read("SELAVG");
    return f;
}

double AdcAnalysis::GetGain(CaptureSource source) {
    ChipAccess& chip = core_.chip();
    auto factor = [&](const GainField& gain) {
        // A field this chip does not have contributes no gain (and no register read).
        if (!gain.field.IsDefined()) return 1.0;
        if (!chip.ReadChip(static_cast<uint16_t>(gain.field.registerIndex), 1)) return 1.0;
        const int index = gain.field.Extract(chip.buffer()[0]);
        if (index < 0 || index >= static_cast<int>(gain.gains.size())) return 1.0;
        const double value = gain.gains[static_cast<size_t>(index)];
        return value > 0.0 && std::isfinite(value) ? value : 1.0;
    };
    const GainTables& g = settings_.gains;
    if (SourceInfo(source).gains == GainPair::Adc1) return factor(g.AD1GN) * factor(g.VRGNAD1);
    return factor(g.AD2GN) * factor(g.VRGNAD2);
}

void AdcAnalysis::ReCalADC() {
    const int n = captureCount_;
    if (n <= 0 || running_.load()) return;
    const int factor = settings_.AverageFactor();
    averageFactor_ = factor;
    data_.Clear(std::max(data_.captureLength, n));
    ClearGrid(0);

    const int averaged = n / factor;
    auto values = data_.values();
    auto re = data_.spectrumReal();
    auto im = data_.spectrumImag();
    // The sums in locals: kept in the members, each step would store and reload them.
    double sum = 0.0;
    long double sumSquares = 0.0L;
    for (int j = 0; j < averaged; ++j) {
        double total = 0.0;
        for (int i = j * factor; i < (j + 1) * factor; ++i)
            total += windowCopy_[static_cast<size_t>(i)];
        const double a = total / factor;
        const auto at = static_cast<size_t>(j);
        values[at] = a;
        re[at] = a;
        im[at] = -a;
        sum += a;
        sumSquares += static_cast<long double>(a) * a;
        cells_[at] = factor == 1 ? std::floor(a) : FixedValue(a, 6);
    }
    sum_ = sum;
    sumSquares_ = sumSquares;
    cellFormat_ = factor == 1 ? CellFormat::Integer : CellFormat::SixDecimals;
    cellCount_ = averaged;
    mean_ = averaged > 0 ? sum_ / averaged : 0.0;
    rootMeanSquare_ = averaged > 0 ? static_cast<double>(std::sqrt(sumSquares_ / averaged)) : 0.0;
    // Averages are in unscaled counts whatever was captured; the front-end gain is ADC1's.
    ComputeFigures(averaged, CaptureSource::ADCS, settings_.EREFV);
    validCount_ = Fft::FloorPowerOfTwo(averaged);
    RunSpectrum(validCount_);
}

void AdcAnalysis::SnapshotChipRegisters() {
    ChipAccess& chip = core_.chip();
    chipRegisters_ = ReadChipRegisters(chip, core_.chipModel(), core_.target().interfaceKind);
    // Reading the flag register cleared the flags it returned: they stay owed to the
    // capture and, after it, to the heartbeat.
    const uint16_t flags = active_.flags.address;
    if (flags < kRegisterImageSize && chipRegisters_.read.test(flags))
        host_.SetInterruptFlags(host_.InterruptFlags() | chipRegisters_.bytes[flags]);
}

CaptureOutcome AdcAnalysis::Outcome() const {
    CaptureOutcome o;
    o.source = lastSource_;
    o.end = lastEnd_;
    o.stream = active_.ENInterrupt;
    o.captured = captureCount_;
    o.target = targetCount_;
    o.elapsedMs = elapsedMs_;
    o.averageFactor = averageFactor_;
    o.program = OriginalFigureRows(data_.results, figures_.HasSamples());
    o.added = ExtraFigureRows(figures_, lineSpacingHz_);
    o.warnings = figures_.warnings;
    return o;
}

bool AdcAnalysis::SaveOut(const QString& decimalPath, const QString& hexPath, QString& error,
                          const ProvenanceContext* context) const {
    // Files of no samples would carry figures of nothing, and would replace real ones.
    if (cellCount_ == 0 || !figures_.HasSamples()) {
        error = WarningText(FigureWarning::NoSamples);
        return false;
    }
    const QByteArray record = context ? ProvenanceJson(*context) : QByteArray();
    return SaveAdcFiles({cells_.get(), static_cast<size_t>(cellCount_)}, cellFormat_, data_.results,
                        decimalPath, hexPath, context ? &record : nullptr, error);
}

void AdcAnalysis::ClrTMP() {
    if (running_.load()) return;
    ClearGrid(0);
    data_.Clear(data_.captureLength);
    std::fill_n(windowCopy_.get(), data_.captureLength, 0.0);
    captureCount_ = 0;
    validCount_ = 0;
    figures_ = {};
    block_.clear();
    data_.spectrumView = false;
}

void AdcAnalysis::WaitTRIGER(int seconds) {
    Clock& clock = core_.clock();
    const int64_t start = clock.NowMs();
    const int64_t waitMs = int64_t{seconds} * 1000;
    int64_t shown = -1;
    for (int64_t elapsed = 0; elapsed < waitMs; elapsed = clock.NowMs() - start) {
        const int64_t second = (elapsed / 1000) % 60;
        if (second != shown) {
            shown = second;
            ui_.SetStatusText(kStatusPanelReplies, QString::number(second));
        }
        ui_.ProcessPendingEvents();
        clock.SleepMs(std::min(kWaitPassMs, waitMs - elapsed));
    }
}

bool AdcAnalysis::ComFunChange() {
    ChipAccess& chip = core_.chip();
    chip.ComFun = settings_.ComFun;
    const FunctionRegisterCopy copy = chip.SelectedCopy();
    const size_t offset = WriteDataOffset(core_.target().interfaceKind);
    for (int i = 0; i < kAdcSetupCount; ++i)
        chip.buffer()[offset + static_cast<size_t>(i)] = copy[static_cast<size_t>(i)];
    if (!chip.WriteChip(kAdcSetupFirst, kAdcSetupCount)) return false;
    chip.buffer()[offset] = copy[kAdcSetupCount];
    if (!chip.WriteChip(kAdcSetupControl, 1)) return false;
    if (!chip.ReadChip(kAdcSetupFirst, kAdcSetupCount)) return false;
    for (int i = 0; i < kAdcSetupCount; ++i)
        chip.SetRegImage(kAdcSetupFirst + i, chip.buffer()[static_cast<size_t>(i)]);
    if (!chip.ReadChip(kAdcSetupControl, 1)) return false;
    chip.SetRegImage(kAdcSetupControl, chip.buffer()[0]);
    chip.RefreshPanels();
    return true;
}

}  // namespace dmm
