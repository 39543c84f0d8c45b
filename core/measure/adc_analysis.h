#pragma once

#include <QDateTime>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "core/app/ui_hooks.h"
#include "core/measure/adc_data.h"
#include "core/measure/block_figures.h"
#include "core/measure/capture_host.h"
#include "core/measure/capture_monitor.h"
#include "core/measure/capture_outcome.h"
#include "core/measure/capture_provenance.h"
#include "core/measure/capture_settings.h"
#include "core/measure/converter_rate.h"
#include "core/measure/fft.h"
#include "core/measure/sample_decoding.h"

namespace dmm {

class BenchCore;

inline constexpr char kReadCompleteText[] = "Read Compelete";
inline constexpr char kReadErrorText[] = "Read Error !!!!!";
// Samples the converter delivers before its filter has settled; never stored.
inline constexpr int kDiscardedSamples = 6;

// The ADC analysis behind the analysis window (TAnxADC) and the temperature drift test:
// capture a block of conversion results, keep it, compute its noise figures, spectrum and
// averages, and write the result files.
//
// Thread: everything runs on the bench thread except RequestStop(), IsRunning() and
// monitor().Latest(), which any thread may call (the GUI's stop button and chart).
//
// A window uses it like this:
//   SetSettings(s)                      when a control changes
//   CatchACDCOM(s.EREFV, source)        on a capture button, when !IsRunning()
//   RequestStop()                       on a capture button, when IsRunning()
//   monitor().Latest()                  from a display-rate timer, to chart the samples so far
//   data().results, rootMeanSquare()    the figures afterwards; CellText(i) for the grid
//   BuildChart(validCount())            the chart after a capture (ChartFun)
//   ReCalADC()                          when CMAVR changes
//   SetSpectrumOptions(window, n)       when the spectrum's window or averaging changes
//   figures()                           the figures beside the program's own, and warnings
//   Outcome()                           how it ended and every figure, or why it has none
//   SaveOut(path, hexPath, error, &ctx) on "Save to CSV" (with ctx: also <path>.json)
class AdcAnalysis {
  public:
    AdcAnalysis(BenchCore& core, CaptureHost& host, UiHooks& ui);
    AdcAnalysis(const AdcAnalysis&) = delete;
    AdcAnalysis& operator=(const AdcAnalysis&) = delete;

    const CaptureSettings& settings() const { return settings_; }
    // Applies the controls: a new NPointIndex sets the capture length, a new TXScale the
    // analysis scale (NPointIndexChange, TXScaleChange), ComFun selects the register copy.
    void SetSettings(const CaptureSettings& settings);
    void NPointIndexChange();
    void TXScaleChange();
    // The channel switch test's scale selector chose the scale: this window's selector
    // shows the same item, and the scale stays as that window set it.
    void AdoptScaleItem(int item) { settings_.TXScale = item; }

    // A capture with its analysis: clears the figures, captures, runs the spectrum when
    // the capture completed, shows "Read Compelete" or "Read Error !!!!!" in status field
    // 2, then computes the figures over the samples taken. Always returns true.
    bool CatchACDCOM(const QString& referenceText, CaptureSource source);
    // The capture alone; true when it reached its target count.
    bool ReadADCALL(CaptureSource source);

    // Requests the running capture to stop after its current pass. Any thread.
    void RequestStop() { stopRequested_.store(true); }
    // True while a capture runs. Any thread.
    bool IsRunning() const { return running_.load(); }
    const CaptureMonitor& monitor() const { return monitor_; }

    // Front-end gain of a source: the product of its two gain fields' gains, read live.
    double GetGain(CaptureSource source);

    // Re-averages the last capture by the CMAVR factor and recomputes the figures and the
    // spectrum. Does nothing when the last capture holds no sample.
    void ReCalADC();

    // Takes the spectrum again through another window or averaging, and recomputes the
    // figures that depend on it; the program's own spectrum and figures stay.
    void SetSpectrumOptions(SpectrumWindow window, int spectrumAverages);

    // Writes the grid and the figures to the decimal file and the hex file; with a
    // context, also the capture's record to ProvenancePathFor(decimalPath). Refuses (and
    // writes nothing) when the last capture took no sample, or when both paths name one
    // file.
    bool SaveOut(const QString& decimalPath, const QString& hexPath, QString& error,
                 const ProvenanceContext* context = nullptr) const;
    // The capture's record: where, with what and how it was taken, what the chip's
    // registers held, and every figure (or why it has none).
    QByteArray ProvenanceJson(const ProvenanceContext& context) const;
    // How the last capture ended and what its analysis gave.
    CaptureOutcome Outcome() const;
    // The registers of the loaded description's areas as the chip held them when the
    // last capture began.
    const ChipRegisterSnapshot& chipRegisters() const { return chipRegisters_; }

    // Clears the grid and every sample buffer and returns the chart to time domain.
    void ClrTMP();
    // Waits seconds while handling queued events, showing the elapsed seconds of the
    // current minute in status field 2.
    void WaitTRIGER(int seconds);
    // "Restore ADC": writes the register copy selected by ComFun back to the ADC setup
    // registers 0x3C..0x40 and 0x30 and reads them back into the register image.
    bool ComFunChange();

    AdcData& data() { return data_; }
    const AdcData& data() const { return data_; }

    // The grid: cellCount() cells, each shown as CellText(i).
    int cellCount() const { return cellCount_; }
    double Cell(int i) const;
    QString CellText(int i) const;
    CellFormat cellFormat() const { return cellFormat_; }

    int captureCount() const { return captureCount_; }
    int targetCount() const { return targetCount_; }
    // Samples the chart shows: the last capture's, or the averaged spectrum's length.
    int validCount() const { return validCount_; }
    CaptureSource lastSource() const { return lastSource_; }
    CaptureEnd lastEnd() const { return lastEnd_; }
    double mean() const { return mean_; }
    double rootMeanSquare() const { return rootMeanSquare_; }  // TXVRMS
    double elapsedMs() const { return elapsedMs_; }
    double lineSpacingHz() const { return lineSpacingHz_; }
    // The figures beside the program's own, over the last capture or averaging.
    const BlockFigures& figures() const { return figures_; }
    // The averaging factor of the last analysis (1 after a capture).
    int averageFactor() const { return averageFactor_; }
    // When the last capture ended (UTC).
    const QDateTime& captureTime() const { return captureTime_; }
    // The scale divisor the added figures divide the results by (1 for RMS roots).
    int32_t BlockDivisor() const;
    // The last capture's results in counts of the scale (results / BlockDivisor()), over
    // which the added figures are computed.
    const std::vector<double>& blockCounts() const { return block_; }

  private:
    class HostGuard;

    // One pass's records: a stream reply's, or in polling mode the source's result when
    // its flag is up. A failed fetch yields none.
    void FetchRecords(CaptureSource source, std::vector<ResultRecord>& records);
    void StoreSample(const DecodedSample& sample, CaptureSource source,
                     std::vector<double>& published);
    // Reads the chip's registers for the record, keeping the flags the read cleared.
    void SnapshotChipRegisters();
    void RunSpectrum(int n);
    void ComputeFigures(int count, CaptureSource gainSource, const QString& referenceText);
    void ComputeBlock();
    RateFields ReadRateFields();
    void ClearGrid(int from);

    BenchCore& core_;
    CaptureHost& host_;
    UiHooks& ui_;
    AdcData& data_;
    CaptureSettings settings_;
    CaptureSettings active_;  // the settings of the running capture
    CaptureMonitor monitor_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};

    std::unique_ptr<double[]> windowCopy_;  // the values of the last capture; averaging reads them
    std::unique_ptr<double[]> cells_;       // the grid's numbers
    CellFormat cellFormat_ = CellFormat::Integer;
    int cellCount_ = 0;
    int captureCount_ = 0;
    int targetCount_ = 0;
    int validCount_ = 0;
    CaptureSource lastSource_ = CaptureSource::ADCS;
    CaptureEnd lastEnd_ = CaptureEnd::Complete;
    double sum_ = 0.0;
    long double sumSquares_ = 0.0L;
    double mean_ = 0.0;
    double rootMeanSquare_ = 0.0;
    double elapsedMs_ = 0.0;
    double lineSpacingHz_ = 1.0;
    // When the first and the last sample of the capture were fetched, and whether the
    // reader ever caught up with the converter between them.
    int64_t firstSampleMs_ = 0;
    int64_t lastSampleMs_ = 0;
    bool readerWaited_ = true;
    ChipRegisterSnapshot chipRegisters_;
    // The added figures and what they were computed from, kept so another window or
    // averaging of the spectrum needs no register reads.
    BlockFigures figures_;
    BlockInput blockInput_;
    std::vector<double> block_;  // x: the results in counts of the scale
    int averageFactor_ = 1;
    QDateTime captureTime_;
};

}  // namespace dmm
