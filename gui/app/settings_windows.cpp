#include "gui/app/settings_windows.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "core/app/bench_settings.h"
#include "gui/analog/t_adf.h"
#include "gui/analog/t_ads.h"
#include "gui/analog/t_mpn.h"
#include "gui/app/t_main_panel.h"
#include "gui/calsets/t_setdmm.h"
#include "gui/measure/t_anx_adc.h"
#include "gui/measure/t_tmp.h"
#include "gui/views/t_vz_ram.h"
#include "gui/views/t_vz_reg2.h"

namespace dmm::gui {
namespace {

template <typename Window>
Window* ChildOf(TMainPanel& panel, const char* className) {
    return qobject_cast<Window*>(panel.Child(QString::fromLatin1(className)));
}

QComboBox* Combo(TMainPanel& panel, const char* className, const char* name) {
    QWidget* window = panel.Child(QString::fromLatin1(className));
    return window ? window->findChild<QComboBox*>(QString::fromLatin1(name)) : nullptr;
}

// The combo box's item, or keep when the window is not there.
int ItemOf(TMainPanel& panel, const char* className, const char* name, int keep) {
    QComboBox* combo = Combo(panel, className, name);
    return combo ? combo->currentIndex() : keep;
}

// Selects an item the combo box has; an index it does not have leaves it as it is.
void SelectItem(TMainPanel& panel, const char* className, const char* name, int index,
                bool runHandler) {
    QComboBox* combo = Combo(panel, className, name);
    if (!combo || index < 0 || index >= combo->count()) return;
    const QSignalBlocker blocker(runHandler ? nullptr : combo);
    combo->setCurrentIndex(index);
}

}  // namespace

void TakeWindowSettings(TMainPanel& panel, VzAdcConfig& c) {
    if (auto* reg = ChildOf<TVz_Reg2>(panel, "TVz_Reg2")) c.registerPage = reg->CurrentPage();
    if (auto* ram = ChildOf<TVz_RAM>(panel, "TVz_RAM")) c.ramBank = ram->CurrentBank();
    if (auto* ads = ChildOf<TADS>(panel, "TADS")) c.TXADCObit = ads->OutputBitsIndex();
    if (auto* adf = ChildOf<TADF>(panel, "TADF")) {
        c.TXADPFbit = adf->OutputBitsIndex();
        c.TXPHSEL = adf->PeakHoldModeIndex();
    }
    if (auto* adc = ChildOf<TAnxADC>(panel, "TAnxADC")) {
        c.NPointIndex = adc->NPointIndex->currentIndex();
        c.TXScale = adc->TXScale->currentIndex();
        c.CFunADC = adc->CFunADC->currentIndex();
        c.ComFun = adc->ComFun->currentIndex();
        c.EREFV = adc->EREFV->text().toLatin1().toStdString();
        c.CMAVR = adc->CMAVR->currentIndex();
    }
    // The chart is written as it was left; the next start shows the table anyway.
    c.spectrumView = false;
    c.ADShift = ItemOf(panel, "TWeightCAL", "ADShift", c.ADShift);
    // Written as 48 when the field holds no usable count.
    if (auto* tmp = ChildOf<TTMP>(panel, "TTMP")) c.EModenum = tmp->EModenum->text().toStdString();
    // The folder keeps the record's bytes unless another one was chosen.
    if (auto* sets = ChildOf<TSETDMM>(panel, "TSETDMM"))
        c.calibrationSetDirectory = CalibrationSetRecord(sets->folder(), c.calibrationSetDirectory);
}

void ApplyWindowSettings(TMainPanel& panel, const VzAdcConfig& c) {
    // Record 2: the register panel's page, the RAM panel's bank.
    if (auto* reg = ChildOf<TVz_Reg2>(panel, "TVz_Reg2")) reg->SelectPage(c.registerPage);
    if (auto* ram = ChildOf<TVz_RAM>(panel, "TVz_RAM")) ram->SelectBank(c.ramBank);
    // Record 3: the output bits with their handlers, the peak-hold mode only selected.
    if (auto* ads = ChildOf<TADS>(panel, "TADS")) ads->SetOutputBitsIndex(c.TXADCObit);
    if (auto* adf = ChildOf<TADF>(panel, "TADF")) {
        adf->SetOutputBitsIndex(c.TXADPFbit);
        adf->SetPeakHoldModeIndex(c.TXPHSEL);
        adf->SetProductVariant(c.productVariant);
    }
    if (auto* mpn = ChildOf<TMPN>(panel, "TMPN")) mpn->SetProductVariant(c.productVariant);
    // Record 4: the capture length with its handler, the table shown and no capture
    // running; one scale for the analysis and the switch test.
    SelectItem(panel, "TAnxADC", "NPointIndex", c.NPointIndex, true);
    if (auto* adc = ChildOf<TAnxADC>(panel, "TAnxADC")) adc->ShowTable();
    SelectItem(panel, "TAnxADC", "TXScale", c.TXScale, true);
    SelectItem(panel, "TWeightCAL", "TXScale", c.TXScale, false);
    // Records 5, 9, 11, 12. The shift item is only shown: its handler writes the chip,
    // and loading the settings never does.
    SelectItem(panel, "TAnxADC", "CFunADC", c.CFunADC, true);
    SelectItem(panel, "TAnxADC", "ComFun", c.ComFun, true);
    SelectItem(panel, "TWeightCAL", "ADShift", c.ADShift, false);
    if (auto* adc = ChildOf<TAnxADC>(panel, "TAnxADC")) {
        const QSignalBlocker blocker(adc->EREFV);
        adc->EREFV->setText(QString::fromLatin1(c.EREFV.c_str()));
    }
    SelectItem(panel, "TAnxADC", "CMAVR", c.CMAVR, true);
    // Record 14: the mode count.
    if (auto* tmp = ChildOf<TTMP>(panel, "TTMP"))
        tmp->ShowModeCount(QString::fromStdString(c.EModenum));
    // Record 16: the folder "SETDMM" opens on.
    if (auto* sets = ChildOf<TSETDMM>(panel, "TSETDMM"))
        sets->SetRememberedFolder(CalibrationSetFolder(c.calibrationSetDirectory));
}

}  // namespace dmm::gui
