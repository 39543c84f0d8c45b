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
#include "core/measure/capture_settings.h"
#include "core/measure/sample_decoding.h"

namespace dmm {
class Bench;
}

namespace dmm::gui {

class AdcChartView;
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

    void CatchADC1Click();
    void CatchADC2Click();
    void BADCClick();
    void CatchDClick();
    void FTChangeClick();
    void ShowChartClick();
    void SaveDataClick();
    // Saves to the given decimal file without asking (the hex file goes to the bench directory).
    void SaveTo(const QString& path);

  signals:
    void CaptureFinished();
    void Saved(bool ok, const QString& message);

  private:
    QWidget* BuildControls();
    QWidget* BuildSettings();
    void StartOrStop(CaptureSource source);
    void ShowAnalysis(const AnalysisView& view);
    void ShowFigures(const AnalysisResults& results, double rootMeanSquare);
    void PollCapture();
    void RedrawChart();
    void NPointIndexChange();
    void SendSettings();
    void CMAVRChange();
    void SetCaptureLock(bool locked);

    Bench& bench_;
    TMainPanel& mainPanel_;
    SampleGridModel* grid_;
    QStackedLayout* displayStack_ = nullptr;  // the grid or the chart, in the same place
    QTimer monitorTimer_;
    bool capturing_ = false;
    uint64_t shownGeneration_ = 0;
    int shownCount_ = -1;
    QString benchDir_;
};

}  // namespace dmm::gui
