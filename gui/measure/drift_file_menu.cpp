#include "gui/measure/drift_file_menu.h"

#include <QAction>
#include <QDir>

#include "core/app/bench.h"
#include "core/app/script_files.h"
#include "gui/app/t_main_panel.h"
#include "gui/instruments/step_table_window.h"
#include "gui/measure/t_tmp.h"

namespace dmm::gui {
namespace {

void OnItem(TMainPanel& panel, const char* name, QObject* context, std::function<void()> action) {
    if (QAction* item = panel.MenuItem(QString::fromLatin1(name)))
        QObject::connect(item, &QAction::triggered, context, std::move(action));
}

void ConnectStepFile(TMainPanel& panel, Bench& bench, TTMP& tmp, StepTableWindow& window,
                     const char* saveItem, const char* loadItem, const char* fileName,
                     bool flukeRules) {
    OnItem(panel, saveItem, &window, [&bench, &tmp, &window, fileName] {
        const int steps = tmp.ModeCount();
        bench.Post([table = window.Table(), steps, fileName](Bench& b) {
            QString error;
            if (!SaveStepFile(table, steps, QDir(b.benchDir).filePath(fileName), error))
                b.hooks().ShowError(error);
        });
    });
    OnItem(panel, loadItem, &window, [&bench, &tmp, &window, fileName, flukeRules] {
        const int steps = tmp.ModeCount();
        bench.Call(
            [steps, fileName, flukeRules](Bench& b) {
                StepTable table;
                const auto bytes = ReadOptionalFile(b.benchDir, fileName);
                if (flukeRules)
                    ReadFlukeFile(table, steps, bytes);
                else
                    ReadPowerFile(table, steps, bytes);
                return table;
            },
            &window, [&window](const StepTable& table) { window.SetTable(table); });
    });
}

}  // namespace

void ConnectDriftFileMenu(TMainPanel& panel, Bench& bench, TTMP& tmp, TFLUKE& fluke,
                          TFPower& power) {
    OnItem(panel, "SaveReg1", &tmp, [&bench, &tmp] {
        bench.Post([table = tmp.Modes()](Bench& b) {
            QString error;
            if (!SaveReg(table, b.benchDir, error)) b.hooks().ShowError(error);
        });
    });
    OnItem(panel, "DownloadReg1", &tmp, [&bench, &tmp] {
        ModeTable table = tmp.Modes();
        table.Resize(tmp.ModeCount());
        bench.Call(
            [table](Bench& b) mutable {
                int used = 0;
                const bool ok = DownloadReg(table, b.benchDir, b.hooks(), used);
                return std::make_tuple(ok, table, used);
            },
            &tmp,
            [&tmp](const std::tuple<bool, ModeTable, int>& result) {
                if (std::get<0>(result)) tmp.SetModes(std::get<1>(result), std::get<2>(result));
            });
    });
    ConnectStepFile(panel, bench, tmp, fluke, "SaveFluke1", "DownLoadFluke1", kFlukeFileName, true);
    ConnectStepFile(panel, bench, tmp, power, "SavePower1", "DownloadPower1", kPowerFileName,
                    false);
    QObject::connect(&tmp, &TTMP::ModeCountChanged, &fluke, &StepTableWindow::INI);
    QObject::connect(&tmp, &TTMP::ModeCountChanged, &power, &StepTableWindow::INI);
}

}  // namespace dmm::gui
