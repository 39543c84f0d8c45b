#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include <array>
#include <vector>

#include "gui/analog/block_panel.h"
#include "gui/analog/segment_display.h"

namespace dmm::gui {

// The ADC2 and ADP panel ("ADF&ADP"): the fast converter with its low-pass filter, RMS
// and peak-hold blocks, and the third converter path (ADP), as one block diagram; with
// the input-capture thresholds, the peak-hold readout and the live ADC2 readings.
class TADF : public BlockPanel {
    Q_OBJECT
  public:
    explicit TADF(Bench& bench, QWidget* parent = nullptr);

    void DataUpdate() override;

    // The settings file's view of the panel: the output-bits and peak-hold mode item
    // indexes. Selecting the output bits applies the divisor; the peak-hold mode is only
    // selected, not written to the chip.
    int OutputBitsIndex() const { return TXADPFbit->currentIndex(); }
    void SetOutputBitsIndex(int index);
    int PeakHoldModeIndex() const { return TXPHSEL->currentIndex(); }
    void SetPeakHoldModeIndex(int index);

    // Product variants (0 to 3) show and hide the parts that differ between the chips of
    // the family: the capture thresholds, the SVXI and SDO23 switches and their covers.
    void SetProductVariant(int variant);
    int ProductVariant() const { return variant_; }
    // The ADP converter exists only on chips with two converters besides ADC1.
    void SetSecondConverterShown(bool shown);
    bool SecondConverterShown() const { return secondConverter_; }

  protected:
    void PaintDiagram(DiagramPainter& d) override;
    void ChipFieldsChanged() override;

  private:
    struct Threshold {
        const char* high;
        const char* low;
        QLineEdit* edit = nullptr;
        QPushButton* button = nullptr;
    };

    // A four-way input selector of the diagram's left column: combo and option labels.
    SelectorLayout FourWaySelector(const char* field, const QString& combo,
                                   const QStringList& items, const QString& stem,
                                   const QStringList& texts, int top) const;
    void BuildAdc2();
    void BuildAdp();
    void BuildReadings();
    void BuildPeakHold();
    void BuildCapture();
    void BuildCovers();
    BoundLabel* AddCover(const QString& name, const QRect& r, const QColor& colour);

    void TXADPFbitChange(int index);
    void BSAMPLEADCClick();
    void PKReadClick();
    void InputThresholdClick(Threshold& threshold);
    void ShowError(const QString& text);
    void ShowChoppers(bool ad2Cho01, bool adpCho01);

    // ADC2.
    QComboBox* TXAD2OSR = nullptr;
    BoundLabel* LAD2OSR = nullptr;
    BoundLabel* PAD2VRGN = nullptr;
    BoundLabel* TXVRGain = nullptr;
    QComboBox* TXAD2GN = nullptr;
    BoundLabel* TXAD2VRGN = nullptr;
    BoundLabel* PENCHOAD2 = nullptr;
    DiagramPicture* AD2CHO00 = nullptr;
    DiagramPicture* AD2CHO01 = nullptr;
    BoundLabel* PENRMS = nullptr;
    BoundLabel* PENAVG = nullptr;
    BoundLabel* PENADC2 = nullptr;
    BoundLabel* PENPK = nullptr;
    QComboBox* TXPHSEL = nullptr;
    QComboBox* TXAVGSEL = nullptr;
    BoundLabel* LSELAVG = nullptr;
    BoundLabel* StaticText1 = nullptr;
    BoundLabel* LAD2CLK = nullptr;
    QComboBox* SAD2IP = nullptr;
    QComboBox* SAD2IN = nullptr;
    QComboBox* SAD2RL = nullptr;
    QComboBox* SAD2RH = nullptr;
    // ADP.
    QComboBox* SADPIP = nullptr;
    QComboBox* SADPIN = nullptr;
    BoundLabel* PENCHOADP = nullptr;
    DiagramPicture* ADPCHO00 = nullptr;
    DiagramPicture* ADPCHO01 = nullptr;
    BoundLabel* PADPRG = nullptr;
    BoundLabel* TXADPRG = nullptr;
    QComboBox* ComADPGN = nullptr;
    BoundLabel* TXADPGN = nullptr;
    BoundLabel* PENADP = nullptr;
    BoundLabel* PMULFP = nullptr;
    BoundLabel* PDISFP = nullptr;
    BoundLabel* PENDCP = nullptr;
    BoundLabel* PDCPOS = nullptr;
    BoundLabel* LDCPO = nullptr;
    BoundLabel* LSLPO = nullptr;
    BoundLabel* Label3 = nullptr;
    // Readings.
    QComboBox* TXADPFbit = nullptr;
    BoundLabel* Label1 = nullptr;
    QPushButton* BSAMPLEADC = nullptr;
    BoundLabel* LADF = nullptr;
    TLcdArray* ADFLPF = nullptr;
    BoundLabel* LRMS = nullptr;
    BoundLabel* LTCOV = nullptr;
    // Peak hold and capture groups.
    DiagramGroup* Panel1 = nullptr;
    BoundLabel* PPMAX = nullptr;
    BoundLabel* PPMIN = nullptr;
    QPushButton* PKRead = nullptr;
    DiagramGroup* Panel2 = nullptr;
    std::array<Threshold, 4> thresholds_{};
    // Covers of the parts a variant does not have.
    BoundLabel* PADFV2COV = nullptr;
    BoundLabel* PADFV1COV = nullptr;
    BoundLabel* PADFV1COV1 = nullptr;
    BoundLabel* PADFV1COV2 = nullptr;
    BoundLabel* PADFV1COV3 = nullptr;

    std::vector<QWidget*> adpControls_;
    int variant_ = 0;
    bool secondConverter_ = true;
};

}  // namespace dmm::gui
