#include "gui/measure/capture_workbook.h"

#include <QByteArray>

#include <cmath>

#include "gui/app/atomic_workbook.h"

namespace dmm::gui {
namespace {

// Writes cell by cell and keeps the first error, so the fill reads as a list.
class SheetWriter {
  public:
    explicit SheetWriter(lxw_worksheet* sheet) : sheet_(sheet) {
        if (!sheet_) status_ = LXW_ERROR_MEMORY_MALLOC_FAILED;
    }
    void Text(lxw_row_t row, lxw_col_t column, const QString& text, lxw_format* format = nullptr) {
        if (status_ != LXW_NO_ERROR) return;
        const QByteArray utf8 = text.toUtf8();
        status_ = worksheet_write_string(sheet_, row, column, utf8.constData(), format);
    }
    void Number(lxw_row_t row, lxw_col_t column, double value) {
        if (status_ != LXW_NO_ERROR) return;
        // A spreadsheet has no infinities: such a figure is written as text.
        status_ =
            std::isfinite(value)
                ? worksheet_write_number(sheet_, row, column, value, nullptr)
                : worksheet_write_string(sheet_, row, column, value > 0 ? "inf" : "-inf", nullptr);
    }
    lxw_worksheet* sheet() const { return sheet_; }
    lxw_error status() const { return status_; }

  private:
    lxw_worksheet* sheet_;
    lxw_error status_ = LXW_NO_ERROR;
};

lxw_row_t WriteRows(SheetWriter& w, lxw_row_t row, const std::vector<FigureRow>& rows) {
    for (const FigureRow& r : rows) {
        w.Text(row, 0, r.label);
        if (r.value)
            w.Number(row, 1, *r.value);
        else
            w.Text(row, 1, QStringLiteral("----"));
        w.Text(row, 2, r.unit);
        w.Text(row, 3, r.convention);
        ++row;
    }
    return row;
}

lxw_error Fill(lxw_workbook* workbook, const CaptureReport& report) {
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);

    SheetWriter samples(workbook_add_worksheet(workbook, kReportSamplesSheet));
    samples.Text(0, 0, QStringLiteral("Index"), bold);
    samples.Text(0, 1, QStringLiteral("Value"), bold);
    for (size_t i = 0; i < report.cells.size(); ++i) {
        samples.Number(static_cast<lxw_row_t>(i + 1), 0, static_cast<double>(i));
        samples.Number(static_cast<lxw_row_t>(i + 1), 1, report.cells[i]);
    }
    if (samples.status() != LXW_NO_ERROR) return samples.status();

    SheetWriter figures(workbook_add_worksheet(workbook, kReportFiguresSheet));
    figures.Text(0, 0, report.title, bold);
    lxw_row_t row = 2;
    const char* heads[] = {"Figure", "Value", "Unit", "How it is computed"};
    for (lxw_col_t c = 0; c < 4; ++c) figures.Text(row, c, QString::fromLatin1(heads[c]), bold);
    row = WriteRows(figures, row + 1, report.original);
    row = WriteRows(figures, row + 1, report.added);
    figures.Text(++row, 0, QStringLiteral("Warnings"), bold);
    if (report.warnings.empty()) figures.Text(++row, 0, QStringLiteral("none"));
    for (const QString& warning : report.warnings) figures.Text(++row, 0, warning);
    row += 2;
    figures.Text(row, 0, QStringLiteral("Definitions"), bold);
    figures.Text(++row, 0, ConventionsPreamble());
    if (figures.sheet()) {
        worksheet_set_column(figures.sheet(), 0, 0, 22, nullptr);
        worksheet_set_column(figures.sheet(), 3, 3, 80, nullptr);
    }
    if (figures.status() != LXW_NO_ERROR) return figures.status();

    SheetWriter chartSheet(workbook_add_worksheet(workbook, kReportChartSheet));
    const AdcChart& c = report.chart;
    chartSheet.Text(0, 0, c.bottomTitle, bold);
    chartSheet.Text(0, 1, c.leftTitle, bold);
    for (size_t i = 0; i < c.points.size(); ++i) {
        chartSheet.Number(static_cast<lxw_row_t>(i + 1), 0, c.points[i].x());
        chartSheet.Number(static_cast<lxw_row_t>(i + 1), 1, c.points[i].y());
    }
    if (chartSheet.status() != LXW_NO_ERROR) return chartSheet.status();
    if (c.points.empty()) return LXW_NO_ERROR;
    lxw_chart* chart = workbook_add_chart(workbook, LXW_CHART_SCATTER_STRAIGHT);
    if (!chart) return LXW_ERROR_MEMORY_MALLOC_FAILED;
    const auto last = static_cast<lxw_row_t>(c.points.size());
    lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
    chart_series_set_categories(series, kReportChartSheet, 1, 0, last, 0);
    chart_series_set_values(series, kReportChartSheet, 1, 1, last, 1);
    const QByteArray title = c.title.toUtf8(), x = c.bottomTitle.toUtf8(), y = c.leftTitle.toUtf8();
    chart_title_set_name(chart, title.constData());
    chart_axis_set_name(chart->x_axis, x.constData());
    chart_axis_set_name(chart->y_axis, y.constData());
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    lxw_chart_options placement{};
    placement.x_scale = 2.0;
    placement.y_scale = 1.5;
    return worksheet_insert_chart_opt(chartSheet.sheet(), 1, 3, chart, &placement);
}

}  // namespace

bool WriteCaptureWorkbook(const QString& path, const CaptureReport& report, QString& error) {
    return WriteWorkbookAtomically(
        path, [&report](lxw_workbook* workbook) { return Fill(workbook, report); }, error);
}

}  // namespace dmm::gui
