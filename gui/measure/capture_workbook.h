#pragma once

#include <QString>

#include <vector>

#include "core/measure/adc_chart.h"
#include "core/measure/figure_table.h"
#include "core/measure/sample_decoding.h"

namespace dmm::gui {

// What "Save Report" writes: the block, every figure with how it is computed, the
// warnings, and the chart as the window shows it.
struct CaptureReport {
    QString title;  // source, samples, time
    std::vector<double> cells;
    CellFormat format = CellFormat::Integer;
    std::vector<FigureRow> original;
    std::vector<FigureRow> added;
    std::vector<QString> warnings;
    AdcChart chart;
};

inline constexpr char kReportSamplesSheet[] = "Samples";
inline constexpr char kReportFiguresSheet[] = "Figures";
inline constexpr char kReportChartSheet[] = "Chart";

// Writes the report as an .xlsx workbook of three sheets: "Samples" (index, grid value),
// "Figures" (figure, value, unit, how it is computed; the warnings and the definitions
// under them) and "Chart" (the chart's points and a chart of them). Written beside path
// and renamed over it when complete.
bool WriteCaptureWorkbook(const QString& path, const CaptureReport& report, QString& error);

}  // namespace dmm::gui
