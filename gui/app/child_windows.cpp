#include "gui/app/child_windows.h"

#include <QLabel>
#include <QVBoxLayout>

namespace dmm::gui {

const std::vector<ChildWindowInfo>& ChildWindowTable() {
    static const std::vector<ChildWindowInfo> table = {
        {"TOption", QStringLiteral("選項"), 6},
        {"TVz_RAM", QStringLiteral("記憶體"), 1},
        {"TVz_Reg2", QStringLiteral("暫存器"), 2},
        {"TAnxADC", QStringLiteral("Analyse ADC"), 7},
        {"TWeightCAL", QStringLiteral("Switch ADC Channel Test"), 13},
        {"TFLUKE", QStringLiteral("FLUKE-5500"), 9},
        {"TFPower", QStringLiteral("Power Supply"), 11},
        {"TTMP", QStringLiteral("Temperature Test"), 8},
        {"TDMMADCCLKA", QStringLiteral("ADC_CLK"), 15},
        {"TProCounterA", QStringLiteral("Program Counter"), 16},
        {"TDMMResister", QStringLiteral("Resister Measure"), 16},
        {"TSETDMM", QStringLiteral("SETDMM"), 17},
        {"TRESCALA", QStringLiteral("Resistor Calibration"), 18},
        {"TMPN", QStringLiteral("MPN"), 19},
        {"TADS", QStringLiteral("ADS"), 20},
        {"TADF", QStringLiteral("ADF&ADP"), 21},
        {"TOP", QStringLiteral("OP&Power"), 4},
        {"TMeter", QStringLiteral("Meter"), 10},
    };
    return table;
}

PendingToolWindow::PendingToolWindow(const ChildWindowInfo& info, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QString::fromLatin1(info.className));
    setWindowTitle(info.caption);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("%1 is not available in this version.").arg(info.caption), this);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
    resize(360, 240);
}

}  // namespace dmm::gui
