#pragma once

#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "core/measure/resistor_calibration.h"
#include "gui/analog/block_panel.h"
#include "gui/analog/segment_display.h"

namespace dmm::gui {

// "Resistor Calibration": the divider chain from the 10 MΩ reference down to 1 kΩ with
// the readings and results of the four steps on it, the volts-per-count calibration and
// the four-range voltmeter. The procedures run on the bench (ResistorCalibration); this
// window shows their labels and forwards the clicks.
class TRESCALA : public BlockPanel {
    Q_OBJECT
  public:
    explicit TRESCALA(Bench& bench, QWidget* parent = nullptr);
    void DataUpdate() override {}

  protected:
    void PaintDiagram(DiagramPainter& d) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void BuildChain();
    void BuildVoltmeter();
    void ShowLabel(const QString& name, const QString& text);
    void ShowStep(int step);
    void ShowVoltmeter(const VoltmeterFigure& figure);

    std::array<QPushButton*, 4> steps_{};  // P10M, P1M, P100K, P10K
    QPushButton* PAUTO = nullptr;
    QPushButton* PCALVOL = nullptr;
    QLineEdit* ECALVol = nullptr;
    QLineEdit* EPTC = nullptr;
    std::array<QPushButton*, 4> ranges_{};
    TLcdArray* SADCLCD = nullptr;
};

}  // namespace dmm::gui
