#include "core/measure/figure_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "core/measure/fixed_text.h"

namespace dmm {
namespace {

std::optional<double> If(bool computed, double value) {
    return computed ? std::optional<double>(value) : std::nullopt;
}

// Takes the value away from a row the block cannot give, saying why.
void Withhold(FigureRow& row, const QString& why) {
    row.value.reset();
    row.withheld = why;
}

}  // namespace

QString ConventionsPreamble() {
    return QStringLiteral(
        "B: the analysis bits (the Scale item on the DMM interface, one less on the others). "
        "D = 2^(24 - Scale): the divisor from results to counts of the scale. "
        "v: the stored results; c = v / D truncated: the grid values. "
        "x = v / D, not truncated: what the added figures use. "
        "sigma = sqrt(sum (c - mean)^2 / N) (divides by N); sigma' the same over x. "
        "One count at the input is Vref / (gain x 2^(B-1)), so full scale is +-Vref / gain "
        "and FSR = 2^B counts.");
}

std::vector<FigureRow> AddedFigureConventions() {
    BlockFigures every;
    every.noise.count = 1;
    every.noise.outputRateHz = 1.0;
    every.tone.found = true;
    every.tone.fundamental.power = 1.0;
    for (ToneComponent& h : every.tone.harmonics) {
        h.resolved = true;
        h.power = 1.0;
    }
    every.spectrum.segments = 1;
    return ExtraFigureRows(every, 1.0);
}

QString FigureText(const FigureRow& row) {
    if (!row.value) return QStringLiteral("----");
    return QString::fromStdString(FixedText(*row.value, row.decimals));
}

std::vector<FigureRow> OriginalFigureRows(const AnalysisResults& r, bool has) {
    std::vector<FigureRow> rows{
        {"mean", "Average", If(has, r.mean), "counts", "mean of the grid values: sum c / N"},
        {"VPP(nV)", "Vp-p Noise", If(has, r.vppNanovolts), "nV",
         "Vref x 1e9 x VPP(count) / (gain x 2^(B-1))"},
        {"RMS Noise(nV)", "RMS Noise", If(has, r.rmsNoiseNanovolts), "nV",
         "Vref x 1e9 x sigma / (gain x 2^(B-1))"},
        {"Enob", "ENOB", If(has, r.enob), "bits",
         "B - log2(sigma): effective resolution (B when sigma is 0)"},
        {"VPP(count)", "VPP(count)", If(has, r.vppCounts), "counts",
         "|round(max v / D) - round(min v / D)|, ties to even"},
        {"RMS Noise(count)", "RMS Noise(count)", If(has, r.rmsNoiseCounts), "counts",
         "sigma = sqrt(sum (c - mean)^2 / N)"},
        {"Noise Free", "Noise Free", If(has, r.noiseFreeBits), "bits",
         "B - log2(VPP(count)): noise-free bits from the measured peaks (B when sigma or "
         "VPP is 0)"},
    };
    if (!has) {
        for (FigureRow& row : rows) Withhold(row, WarningText(FigureWarning::NoSamples));
    }
    return rows;
}

std::vector<FigureRow> ExtraFigureRows(const BlockFigures& b, double lineSpacingHz) {
    const NoiseFigures& n = b.noise;
    const bool has = b.HasSamples();
    std::vector<FigureRow> rows{
        {"ENOB IEEE 1241", "ENOB (IEEE)", If(has, n.enobIeee), "bits",
         "log2(FSR / (sigma' x sqrt 12)), FSR = 2^B counts (B when sigma' is 0)"},
        {"Noise free 6.6 sigma", "Noise free (6.6 \u03c3)", If(has, n.noiseFree66), "bits",
         "B - log2(6.6 x sigma'): 99.9 % of Gaussian noise lies within 6.6 sigma"},
        {"Noise (uV rms)", "Noise rms", If(has, n.microvoltsRms), "uV",
         "sigma' x Vref / (gain x 2^(B-1)), input-referred"},
        {"Noise (uV p-p)", "Noise p-p", If(has, n.microvoltsPeakToPeak), "uV",
         "(max x - min x) x Vref / (gain x 2^(B-1)), input-referred"},
        {"Noise density (nV/rtHz)", "Noise density",
         If(has && n.outputRateHz > 0, n.nanovoltsPerRootHz), "nV/rtHz",
         "sigma' in volts / sqrt(f_data / 2): white noise over 0..f_data/2"},
        {"Output rate (Hz)", "Data rate", If(has && n.outputRateHz > 0, n.outputRateHz), "Hz",
         QStringLiteral("from the converter's clock and oversampling fields when the crystal "
                        "clocks it; otherwise measured: samples / capture time")},
    };
    for (FigureRow& row : rows) row.decimals = 3;
    const bool gapped = b.MissedResults();
    if (!has) {
        for (FigureRow& row : rows) Withhold(row, WarningText(FigureWarning::NoSamples));
    } else {
        auto row = [&](std::string_view key) -> FigureRow& {
            return *std::find_if(rows.begin(), rows.end(),
                                 [&](const FigureRow& r) { return r.key == key; });
        };
        FigureRow& density = row("Noise density (nV/rtHz)");
        FigureRow& rate = row("Output rate (Hz)");
        // The density spreads sigma over the converter's band; with results missed the
        // rate the block was taken at is not the converter's.
        if (gapped) {
            Withhold(density, MissedResultsReason());
            if (!n.rateFromFields) Withhold(rate, MissedResultsReason());
        } else if (!(n.outputRateHz > 0)) {
            const QString why = QStringLiteral(
                "no output rate: the converter's fields do not give it and the capture took no "
                "time");
            Withhold(density, why);
            Withhold(rate, why);
        }
    }
    // A block with missed results shows its tone figures withheld whether or not a tone
    // was found: the smeared spectrum can hide one.
    const ToneFigures& t = b.tone;
    if (!has || !(t.found || (gapped && n.count >= kMinSpectrumSamples))) return rows;
    const QString window = QString::fromLatin1(
        ShapeOf(b.window).name.data(), static_cast<qsizetype>(ShapeOf(b.window).name.size()));
    const QString noiseHow =
        QStringLiteral(
            "noise: what remains after the fitted sines, %1 window, %2 spectra averaged, "
            "corrected for the window's noise bandwidth")
            .arg(window)
            .arg(b.spectrum.segments);
    // The converter's rate, when its fields give it and no result was missed, places the
    // tone exactly; 1 / capture time also counts the capture's start and its last pass.
    const double spacingHz = n.rateFromFields ? n.outputRateHz / n.count : lineSpacingHz;
    const size_t firstToneRow = rows.size();
    rows.push_back({"Fundamental (Hz)", "Fundamental", t.fundamental.line * spacingHz, "Hz",
                    "fitted line x f_data / N when the converter's fields give its rate; "
                    "otherwise x 1 / capture time",
                    3});
    rows.push_back({"Fundamental (dBFS)", "Level", t.fundamentalDbfs, "dBFS",
                    "20 log10(A1 / 2^(B-1)): a full-scale sine is 0 dBFS", 2});
    rows.push_back({"SNR (dB)", "SNR", t.snrDb, "dB", "10 log10(P1 / Pnoise); " + noiseHow, 2});
    rows.push_back(
        {"SINAD (dB)", "SINAD", t.sinadDb, "dB", "10 log10(P1 / (Pnoise + P2 + ... + P6))", 2});
    rows.push_back({"THD (dBc)", "THD", t.thdDb, "dBc",
                    "10 log10((P2 + ... + P6) / P1): the first five harmonics", 2});
    rows.push_back({"SFDR (dBc)", "SFDR", t.sfdrDb, "dBc",
                    "10 log10(P1 / largest other line): harmonic or spur", 2});
    rows.push_back(
        {"ENOB from SINAD", "ENOB (SINAD)", t.enobBits, "bits", "(SINAD - 1.76) / 6.02", 3});
    for (size_t i = 0; i < t.harmonics.size(); ++i) {
        const ToneComponent& h = t.harmonics[i];
        const int order = static_cast<int>(i) + 2;
        const std::string key = "H" + std::to_string(order) + " (dBc)";
        rows.push_back({key, QStringLiteral("H%1").arg(order),
                        If(h.resolved, 10.0 * std::log10(h.power / t.fundamental.power)), "dBc",
                        QStringLiteral("10 log10(P%1 / P1), folded into 0..f_data/2; \"----\" "
                                       "where it folds onto DC, the fundamental or a lower "
                                       "harmonic (not counted)")
                            .arg(order),
                        2});
        if (!h.resolved)
            rows.back().withheld = QStringLiteral(
                "folds onto DC, the fundamental or a lower harmonic: it cannot be told apart");
    }
    // Every tone figure reads the spectrum, which needs evenly spaced samples.
    if (gapped) {
        for (size_t i = firstToneRow; i < rows.size(); ++i)
            Withhold(rows[i], MissedResultsReason());
    }
    return rows;
}

}  // namespace dmm
