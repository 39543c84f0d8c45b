#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/measure/analysis_results.h"
#include "core/measure/capture_outcome.h"
#include "core/measure/capture_settings.h"
#include "core/measure/sample_decoding.h"
#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// A capture as a script asks for it; every choice is checked before the capture starts.
struct CaptureRequest {
    std::string source = "adcs";             // adcs, adcf, avg or rms
    int64_t points = kDefaultCaptureLength;  // 64, 128, ... 65536
    int64_t scaleBits = kMaxResultBits;      // result bits b: divisor 2^(24 - b)
    bool poll = false;  // poll the interrupt-flag register instead of the board's stream
    std::string vref = kDefaultReferenceText;  // volts
    std::optional<int64_t> flagRegister;       // where the interrupt flags are
    double timeoutSeconds = 10.0;              // give up after this long without a sample
    std::string window = "rect";               // rect, hann, bh4 or flattop
    int64_t spectra = 1;                       // 1..16
    // Written once the capture is complete (with the hex file in the bench directory and
    // the record); a path that cannot be written is refused before the capture.
    std::string csvPath;
    // Read what the record needs besides the analysis (the board's info text: one
    // exchange); a csvPath reads it too.
    bool withRecord = false;
};

// What a capture came to, independent of the bench it was taken on: later captures do
// not change it, and it outlives the bench.
struct CaptureBlock {
    CaptureOutcome outcome;
    // The results in counts of the scale (results / divisor), over which the added
    // figures are computed.
    std::vector<double> samples;
    int32_t divisor = 1;
    int resultBits = kMaxResultBits;
    int analysisBits = kMaxResultBits;
    // What the result files are made of.
    std::vector<double> cells;
    CellFormat cellFormat = CellFormat::Integer;
    AnalysisResults results;
    // The record (JSON); empty unless asked for.
    QByteArray record;
    // Where its hex file goes: the bench directory's VzADCHex.CSV.
    QString hexPath;
    // Why the block is no result: the capture stopped or ended early, took nothing, or
    // its files could not be written. Nothing is written from such a block.
    std::optional<Failure> failure;
    // The files written (with csvPath).
    std::vector<QString> written;
};

// Captures a block through the board's stream (or by polling) with its analysis. A
// failure is a refusal before the capture; how the capture itself ended is the block's.
Result<CaptureBlock> Capture(HeadlessBench& bench, const CaptureRequest& request);
// Writes a complete block's CSV pair (the decimal file at decimalPath, the hex file at
// block.hexPath) and its record beside the decimal file; the paths written.
Result<std::vector<QString>> SaveCaptureBlock(const CaptureBlock& block,
                                              const QString& decimalPath);
// What a strict script refuses in a block: saturated, noiseless or with missed results.
std::optional<Failure> StrictFailure(const CaptureBlock& block);
// "captured 1024 of 1024 ADCS samples in 1616 ms (complete)"
std::string CaptureLine(const CaptureOutcome& outcome);
// The figures as dmmctl prints them: one line each, name then value ("----" when withheld).
std::string FigureTableText(const CaptureOutcome& outcome);
// The figures a block shows: those computed, and those withheld with a reason.
std::vector<FigureRow> ShownFigures(const CaptureOutcome& outcome);

}  // namespace dmm::headless
