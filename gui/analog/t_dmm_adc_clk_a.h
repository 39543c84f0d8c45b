#pragma once

#include "gui/analog/block_panel.h"

namespace dmm::gui {

// The ADC clock panel ("ADC_CLK"): the clock tree. The crystal oscillator (EN_OSC) or
// the external clock XIN (ENI_XI) gives the system clock; it is divided by 30 for the slow
// converter and by 2 or 4 (FCLK_SEL) for the fast one. With neither clock on the chip
// sleeps. It is the first analog panel every refresh repaints.
class TDMMADCCLKA : public BlockPanel {
    Q_OBJECT
  public:
    explicit TDMMADCCLKA(Bench& bench, QWidget* parent = nullptr);

    void DataUpdate() override;

  protected:
    void PaintDiagram(DiagramPainter& d) override;

  private:
    BoundLabel* LENOSC = nullptr;
    BoundLabel* ENIXI = nullptr;
    BoundLabel* LENIXI = nullptr;
    BoundLabel* LXIN = nullptr;
    BoundLabel* LCRYOSC = nullptr;
    BoundLabel* LCLKSYS = nullptr;
    BoundLabel* LSADCCLK = nullptr;
    BoundLabel* FCLKSEL = nullptr;
    BoundLabel* LFCLKSEL0 = nullptr;
    BoundLabel* LFCLKSEL1 = nullptr;
    BoundLabel* LFADCCLK = nullptr;
    BoundLabel* LSLEEP = nullptr;
};

}  // namespace dmm::gui
