#pragma once

#include <QComboBox>

#include "gui/analog/block_panel.h"

namespace dmm::gui {

// The OP-amp and power panel ("OP&Power"): the two op-amps with their input selectors,
// enables and output switches, the chopper, the analog ground level, the reference
// output, the bias and its source, and the sensor supply.
class TOP : public BlockPanel {
    Q_OBJECT
  public:
    explicit TOP(Bench& bench, QWidget* parent = nullptr);

    void DataUpdate() override;

  protected:
    void PaintDiagram(DiagramPainter& d) override;

  private:
    // One op-amp: its input selector, amplifier, enable and output switches, drawn with
    // its top at top.
    struct Amplifier {
        const char* selector;
        const char* enable;
        const char* outputSwitch;
        const char* output;
        int top;
        QComboBox* combo = nullptr;
        BoundLabel* enableLabel = nullptr;
        PicturePair closed{};  // OPSn: the amplifier drives the output node
        PicturePair bypass{};  // NOPSn: the pad drives it
    };
    void BuildAmplifier(Amplifier& amp, const QString& stem, const QString& comboName,
                        const QStringList& items, const QString& enableName);
    void BuildPower();
    void PaintAmplifier(DiagramPainter& d, const Amplifier& amp) const;
    void PaintPower(DiagramPainter& d) const;

    Amplifier op1_{"S_OP1P", "EN_OP1", "OPS1", "OP1O", 24};
    Amplifier op2_{"S_OP2P", "EN_OP2", "OPS2", "OP2O", 188};

    QComboBox* SOP1P = nullptr;
    QComboBox* SOP2P = nullptr;
    BoundLabel* ENOP1 = nullptr;
    BoundLabel* ENOP2 = nullptr;
    QComboBox* ComOPCHP = nullptr;
    QComboBox* SAGND = nullptr;
    BoundLabel* LAGNDo = nullptr;
    BoundLabel* ENREFO = nullptr;
    BoundLabel* ENBIAS = nullptr;
    BoundLabel* LSREFO = nullptr;
    BoundLabel* SBias = nullptr;
    BoundLabel* SPB6 = nullptr;
    BoundLabel* ENVS = nullptr;
    BoundLabel* Label1 = nullptr;
};

}  // namespace dmm::gui
