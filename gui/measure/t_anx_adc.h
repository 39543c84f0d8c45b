#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

#include "core/measure/adc_chart.h"
#include "core/measure/analysis_results.h"
#include "core/measure/block_figures.h"
#include "core/measure/capture_settings.h"
#include "core/measure/figure_table.h"
#include "core/measure/histogram.h"
#include "core/measure/sample_decoding.h"

namespace dmm {
class Bench;
}

namespace dmm::gui {

class AdcChartView;
class AdcHistogramView;
class FigurePanel;
class SampleGridModel;
class TMainPanel;

// What the analysis window shows after a capture or an averaging: a copy made on the
// bench thread.
struct AnalysisView {
    AnalysisResults results;
    double rootMeanSquare = 0.0;
    std::shared_ptr<const std::vector<double>> cells;
    int cellCount = 0;
    CellFormat format = CellFormat::Integer;
    int validCount = 0;
    bool chartIncluded = false;
    AdcChart chart;
    // The figures as the tables show them (not computed over an empty block), the
    // warnings and the histogram.
    bool hasSamples = false;
    std::vector<FigureRow> addedRows;
    std::vector<FigureWarning> warnings;
    QString endNotice;  // how an unfinished capture ended; empty for a complete one
    BlockHistogram histogram;
};

// "Analyse ADC": captures a block of conversion results, shows it as a grid or a chart
// with its noise figures, re-averages it and saves it to CSV files. The capture runs on
// the bench thread; this window polls its progress at display rate.
class TAnxADC : public QWidget {
    Q_OBJECT
  public:
    TAnxADC(Bench& bench, TMainPanel& mainPanel, QWidget* parent = nullptr);

    bool capturing() const { return capturing_; }
    // "Restore ADC" of the main menu.
    Q_INVOKABLE void ComFunChange();
    // The settings as the controls hold them.
    CaptureSettings CurrentSettings() const;
    // The table of samples in place of the chart, the chart in time-domain view, and no
    // capture running: how the window starts.
    void ShowTable();

    QPushButton* CatchADC1;
    QPushButton* CatchADC2;
    QPushButton* BADC;
    QPushButton* CatchD;
    QPushButton* FTChange;
    QPushButton* ShowChart;
    QPushButton* SaveData;
    QComboBox* NPointIndex;
    QComboBox* TXScale;
    QCheckBox* ENInterrupt;
    QLineEdit* EREFV;
    QComboBox* CMAVR;
    QComboBox* CFunADC;
    QComboBox* ComFun;
    QLabel* TXENOB;
    QLabel* TXNFREE;
    QLabel* TXVRMS;
    QLabel* TXOffset;
    QLabel* TXVPP;
    QLabel* TXNrms;
    QTableView* MemoryF;
    AdcChartView* Chart1;
    // Beside the program's own controls: the spectrum's window and averaging, the
    // histogram view, the report, and the column of added figures.
    QComboBox* SpectrumWindow;
    QComboBox* SpectrumAverages;
    QPushButton* ShowHistogram;
    QPushButton* SaveReport;
    AdcHistogramView* Histogram;
    FigurePanel* Figures;

    void CatchADC1Click();
    void CatchADC2Click();
    void BADCClick();
    void CatchDClick();
    void FTChangeClick();
    void ShowChartClick();
    void SaveDataClick();
    // Saves to the given decimal file without asking (the hex file goes to the bench
    // directory, the capture's record beside the decimal file).
    void SaveTo(const QString& path);
    void SaveReportClick();
    // Writes the .xlsx report to path without asking.
    void SaveReportTo(const QString& path);

  signals:
    void CaptureFinished();
    void Saved(bool ok, const QString& message);
    void ReportSaved(bool ok, const QString& message);
    // After a new window or averaging of the spectrum has been applied.
    void SpectrumChanged();

  private:
    QWidget* BuildControls();
    QWidget* BuildSettings();
    void StartOrStop(CaptureSource source);
    void ShowAnalysis(const AnalysisView& view);
    void ShowFigures(const AnalysisView& view);
    void ShowDisplay();
    void FitGridColumns();
    void SpectrumOptionsChange();
    void PollCapture();
    void RedrawChart();
    void NPointIndexChange();
    void SendSettings();
    void CMAVRChange();
    void SetCaptureLock(bool locked);
    void EnableSaving();

    Bench& bench_;
    TMainPanel& mainPanel_;
    SampleGridModel* grid_;
    QStackedLayout* displayStack_ = nullptr;  // the grid, the chart or the histogram, in one place
    bool chartShown_ = false;                 // ShowChart's state: chart rather than grid
    QTimer monitorTimer_;
    bool capturing_ = false;
    bool hasSamples_ = false;  // the figures shown come from samples: there is something to save
    uint64_t shownGeneration_ = 0;
    int shownCount_ = -1;
    QString benchDir_;
};

}  // namespace dmm::gui
