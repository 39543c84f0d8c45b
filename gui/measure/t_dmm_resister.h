#pragma once

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include <array>

#include "core/measure/divider_blocks.h"
#include "gui/analog/block_panel.h"
#include "gui/analog/segment_display.h"

namespace dmm::gui {

// "Resister Measure": the ohmmeter's two measuring circuits (the high ranges through a
// series resistor, the low ranges against a reference resistor) with the live display
// over the circuit not in use, six range keys and six "Cal." keys. The measurement runs
// on the bench (ResistanceMeter); the heartbeat's own resistance reading shows in PDMMRES.
class TDMMResister : public BlockPanel {
    Q_OBJECT
  public:
    explicit TDMMResister(Bench& bench, QWidget* parent = nullptr);
    void DataUpdate() override {}

  protected:
    void PaintDiagram(DiagramPainter& d) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void ShowRange(int range);
    void ShowCalibration(int range);

    std::array<QPushButton*, kResistanceRangeCount> ranges_{};
    std::array<QPushButton*, kResistanceRangeCount> cals_{};
    QLineEdit* EBCM = nullptr;
    QFrame* Panel1 = nullptr;
    TLcdArray* SADCLCD = nullptr;
    BoundLabel* PDMMRES = nullptr;
    BoundLabel* LRx0 = nullptr;
    BoundLabel* LRx1 = nullptr;
    BoundLabel* LRF = nullptr;
    BoundLabel* Panel2 = nullptr;
    BoundLabel* Panel3 = nullptr;
    int range_ = 0;
};

}  // namespace dmm::gui
