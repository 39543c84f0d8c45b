#include "gui/app/tool_windows.h"

#include "core/app/bench.h"
#include "gui/analog/t_adf.h"
#include "gui/analog/t_ads.h"
#include "gui/analog/t_dmm_adc_clk_a.h"
#include "gui/analog/t_meter.h"
#include "gui/analog/t_mpn.h"
#include "gui/analog/t_op.h"
#include "gui/analog/t_pro_counter_a.h"
#include "gui/analog/t_weight_cal.h"
#include "gui/app/t_main_panel.h"
#include "gui/calsets/t_setdmm.h"
#include "gui/chip/t_option.h"
#include "gui/instruments/step_table_window.h"
#include "gui/measure/drift_file_menu.h"
#include "gui/measure/t_anx_adc.h"
#include "gui/measure/t_dmm_resister.h"
#include "gui/measure/t_rescala.h"
#include "gui/measure/t_tmp.h"
#include "gui/views/t_vz_ram.h"
#include "gui/views/t_vz_reg2.h"

namespace dmm::gui {

void InstallToolWindows(TMainPanel& panel, Bench& bench) {
    // One line per tool window: panel.SetChild("TClassName", new TClassName(bench, ...));
    // Windows that repaint from each published register image do so in the order they
    // are made: the RAM and register panels, then the analog panels, the clock panel first.
    panel.SetChild("TOption", new TOption(bench, &panel));
    panel.SetChild("TVz_RAM", new TVz_RAM(bench));
    panel.SetChild("TVz_Reg2", new TVz_Reg2(bench));
    panel.SetChild("TDMMADCCLKA", new TDMMADCCLKA(bench));
    panel.SetChild("TMPN", new TMPN(bench));
    panel.SetChild("TADS", new TADS(bench));
    panel.SetChild("TADF", new TADF(bench));
    panel.SetChild("TOP", new TOP(bench));
    panel.SetChild("TProCounterA", new TProCounterA(bench));
    panel.SetChild("TAnxADC", new TAnxADC(bench, panel));
    panel.SetChild("TWeightCAL", new TWeightCAL(bench, panel));
    auto* fluke = new TFLUKE(bench);
    auto* power = new TFPower(bench);
    auto* tmp = new TTMP(bench);
    panel.SetChild("TFLUKE", fluke);
    panel.SetChild("TFPower", power);
    panel.SetChild("TTMP", tmp);
    ConnectDriftFileMenu(panel, bench, *tmp, *fluke, *power);
    panel.SetChild("TMeter", new TMeter(bench));
    panel.SetChild("TDMMResister", new TDMMResister(bench));
    panel.SetChild("TSETDMM", new TSETDMM(bench));
    panel.SetChild("TRESCALA", new TRESCALA(bench));
}

}  // namespace dmm::gui
