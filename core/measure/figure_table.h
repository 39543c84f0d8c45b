#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "core/measure/analysis_results.h"
#include "core/measure/block_figures.h"

namespace dmm {

// One figure as the analysis window, dmmctl, the .json file and the report show it,
// with how it is computed.
struct FigureRow {
    std::string key;              // the name dmmctl prints and the .json file keys
    QString label;                // the window's label
    std::optional<double> value;  // empty: not computed (shown "----")
    QString unit;
    QString convention;  // the formula, in words a user can check
    int decimals = 6;
    QString withheld = {};  // why there is no value, when the block could not give one
};

// The program's seven figures, in the result files' order and with their header names.
// Over an empty block none of them is computed, and each says so.
std::vector<FigureRow> OriginalFigureRows(const AnalysisResults& results, bool hasSamples);

// The figures beside them: the noise figures, and the tone figures when the block
// carries a tone. lineSpacingHz turns spectrum lines into hertz. A figure the block
// cannot give (no samples, missed results, a harmonic that folds away) has no value and
// says why.
std::vector<FigureRow> ExtraFigureRows(const BlockFigures& figures, double lineSpacingHz);

// Every added figure, tone figures included, for listing how each is computed.
std::vector<FigureRow> AddedFigureConventions();

// The definitions both tables share (B, D, sigma, v, c): the head of the conventions text.
QString ConventionsPreamble();

// The value as the tables show it: "%.<decimals>f", "----" when not computed.
QString FigureText(const FigureRow& row);

}  // namespace dmm
