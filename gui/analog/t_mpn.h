#pragma once

#include <QComboBox>

#include <array>

#include "core/analog/switch_network_rules.h"
#include "gui/analog/block_panel.h"

namespace dmm::gui {

// The switch network panel ("MPN"): the forty bank switches, the measuring mode with its
// switches and truth table, the reference tap selector, the accumulator, the digital
// output, and the comparator with its input and thresholds and the routing of its output.
// In the upper eight modes the comparator output takes the place of the mode's bit 0 and
// chooses the half of the reference taps.
class TMPN : public BlockPanel {
    Q_OBJECT
  public:
    explicit TMPN(Bench& bench, QWidget* parent = nullptr);

    void DataUpdate() override;

    // The comparator output state as the image holds it (SADCPO chooses FGRISE or ACPO).
    bool ComparatorOutputHigh() const { return comparatorHigh_; }
    // The mode pattern the pictures show (0..7).
    int ShownPattern() const { return pattern_; }
    // Product variants 2 and 3 have no comparator output node: its name and cover go.
    void SetProductVariant(int variant);

  protected:
    void PaintDiagram(DiagramPainter& d) override;

  private:
    void BuildBanks();
    void BuildMode();
    void BuildReference();
    void BuildComparator();
    void BuildOutputs();
    // SMODE and SFUVR: the comparator's status bits are read into the image first, so
    // that the choice is painted with the comparator as it is now.
    void ModeOrReferenceChange(const char* field, QComboBox* combo, int index);
    void RefreshComparatorStatus();
    bool UpdateComparatorState();
    void ShowMode(int mode);
    void ShowReference(int value);

    void PaintBanks(DiagramPainter& d) const;
    void PaintMode(DiagramPainter& d) const;
    void PaintReference(DiagramPainter& d) const;
    void PaintComparator(DiagramPainter& d) const;
    void PaintOutputs(DiagramPainter& d) const;

    // Bank b (P, D, F, S), switch k.
    std::array<std::array<PicturePair, 10>, 4> banks_{};
    // The mode switches in ModeSwitches order; SVSO2 has two pictures.
    std::array<PicturePair, kModeSwitches> modeSwitches_{};
    PicturePair svso2Second_{};
    PicturePair SMODE4{};
    PicturePair SMODE5{};
    PicturePair sdio_{};
    PicturePair accIn_{};
    PicturePair accOut_{};

    QComboBox* SMODE = nullptr;
    BoundLabel* SMODE3 = nullptr;
    QComboBox* SFUVR = nullptr;
    QComboBox* ACC = nullptr;
    BoundLabel* ENCMP = nullptr;
    QComboBox* SCMPRH = nullptr;
    QComboBox* SCMPI = nullptr;
    QComboBox* SCMPRL = nullptr;
    BoundLabel* SADCP = nullptr;
    BoundLabel* LACPO = nullptr;
    BoundLabel* LDCPO = nullptr;
    // The comparator's output level as the image holds it (the ACPO bit): "high" chosen
    // or "low".
    BoundLabel* LCPOLevel = nullptr;
    BoundLabel* CPO1 = nullptr;
    BoundLabel* CPO2 = nullptr;
    BoundLabel* Label1 = nullptr;
    BoundLabel* PMPNCov1 = nullptr;

    bool comparatorHigh_ = false;
    int pattern_ = 0;
};

}  // namespace dmm::gui
