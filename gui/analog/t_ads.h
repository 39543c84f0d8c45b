#pragma once

#include <QComboBox>
#include <QPushButton>

#include <array>

#include "gui/analog/block_panel.h"
#include "gui/analog/segment_display.h"

namespace dmm::gui {

// The ADC1 panel ("ADS"): the first sigma-delta converter as a block diagram. Input and
// reference multiplexers, the input filter, the input and reference buffers, the
// chopper, the DC offset, the gain stage, the modulator with its clock and the
// decimation filter, and the live ADC1 reading.
class TADS : public BlockPanel {
    Q_OBJECT
  public:
    explicit TADS(Bench& bench, QWidget* parent = nullptr);

    void DataUpdate() override;

    // The output-bits selector as the settings file stores it (item index, "8" = 0);
    // selecting applies the divisor.
    int OutputBitsIndex() const { return TXADCObit->currentIndex(); }
    void SetOutputBitsIndex(int index);

  protected:
    void PaintDiagram(DiagramPainter& d) override;

  private:
    void BuildInputSelectors();
    void BuildFilter();
    void BuildBuffers();
    void BuildConverter();
    void BuildReference();
    void BuildOutput();
    void ShowFilterPictures(int option);

    void TXADCObitChange(int index);
    void BSAMPLEADCClick();
    void ShowAdc1(qint64 value);
    void ShowChopper(bool ad1Cho01);

    BoundLabel* PVIPEN = nullptr;
    BoundLabel* PVINEN = nullptr;
    BoundLabel* PVRPEN = nullptr;
    BoundLabel* PVRNEN = nullptr;
    BoundLabel* PAD1VRGN = nullptr;
    BoundLabel* PENADC1 = nullptr;
    DiagramPicture* ADSIPBon = nullptr;
    DiagramPicture* ADSIPBoff = nullptr;
    DiagramPicture* ADSINBon = nullptr;
    DiagramPicture* ADSINBoff = nullptr;
    DiagramPicture* VRPBUFon = nullptr;
    DiagramPicture* VRPBUFoff = nullptr;
    DiagramPicture* VRNBUFon = nullptr;
    DiagramPicture* VRNBUFoff = nullptr;
    DiagramPicture* AD1CHO00 = nullptr;
    DiagramPicture* AD1CHO01 = nullptr;
    QComboBox* TXCHOP = nullptr;
    QComboBox* TXDCSET = nullptr;
    QComboBox* TXAD1GN = nullptr;
    QComboBox* TXAD1OSR = nullptr;
    QComboBox* SAD1IP = nullptr;
    QComboBox* SAD1IN = nullptr;
    QComboBox* SAD1RH = nullptr;
    QComboBox* SAD1RL = nullptr;
    QComboBox* SADSIP = nullptr;
    QComboBox* TXADCObit = nullptr;
    BoundLabel* LDCSET = nullptr;
    BoundLabel* TXAD1VRGN = nullptr;
    BoundLabel* TXVRGain = nullptr;
    BoundLabel* LAD1OSR = nullptr;
    BoundLabel* LAD1CLK = nullptr;
    BoundLabel* Label2 = nullptr;
    QPushButton* BSAMPLEADC = nullptr;
    TLcdArray* SADCLCD = nullptr;

    // S_FT1: the on- and off-pictures of the three filter switches (options 0..2), and
    // of the bypass (two switches closed by option 3) and its three opposite switches.
    std::array<DiagramPicture*, 3> filterOn_{};
    std::array<DiagramPicture*, 3> filterOff_{};
    std::array<DiagramPicture*, 2> bypassOn_{};
    std::array<DiagramPicture*, 2> bypassOff_{};
    std::array<DiagramPicture*, 3> notBypassOn_{};
    std::array<DiagramPicture*, 3> notBypassOff_{};
};

}  // namespace dmm::gui
