// dmmbench: the desktop bench program.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string_view>

#include "gui/app/bench_session.h"
#include "gui/app/screenshot.h"
#include "gui/app/signal_close.h"
#include "gui/app/t_main_panel.h"
#include "gui/app/tool_windows.h"
#include "sim/bench_chips.h"

namespace {

// --help and --version answer on a terminal without a display.
bool AsksOnlyForHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help" || a == "--help-all" || a == "-v" || a == "--version" ||
            a == "-?")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
    if (AsksOnlyForHelpOrVersion(argc, argv))
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName("dmmbench");
    QCoreApplication::setApplicationVersion(DMM_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription("Bench tool for DMM chip evaluation and calibration");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption simOption("sim", "Use the simulated board, chip and instruments.");
    QCommandLineOption simHidOption("sim-hid", "Simulated board in its HID personality.");
    QCommandLineOption simChipOption(
        "sim-chip", "Chip on the simulated board: VZ6401 (default) or RX405 (implies --sim).",
        "CHIP");
    QCommandLineOption kindOption(
        "kind",
        "Chip interface kind for this run, over the settings file's: rs232, spi, special, "
        "parallel, uart or dmm (default: the file's, else dmm).",
        "KIND");
    QCommandLineOption dirOption("dir", "Bench directory (settings, INCLUDE/, result files).",
                                 "DIR");
    // For documentation and demos: open windows, trigger menu items, then save a picture
    // of the main window and quit.
    QCommandLineOption screenshotOption(
        "screenshot", "Save a picture of the main window to FILE and quit.", "FILE");
    QCommandLineOption showOption("show", "Comma-separated tool windows to open (class names).",
                                  "WINDOWS");
    QCommandLineOption triggerOption(
        "trigger", "Comma-separated menu items to trigger (item names).", "ITEMS");
    QCommandLineOption laterOption(
        "trigger-after", "Comma-separated menu items to trigger after the fields are set.",
        "ITEMS");
    QCommandLineOption clickOption("click", "Comma-separated buttons to click (WINDOW/BUTTON).",
                                   "BUTTONS");
    QCommandLineOption fieldOption("field", "Comma-separated register fields to set (NAME=VALUE).",
                                   "FIELDS");
    QCommandLineOption delayOption("delay-ms", "Wait before the picture is taken (default 1500).",
                                   "MS", "1500");
    QCommandLineOption windowOnlyOption("window-only",
                                        "Picture only the first window of --show, in its frame.");
    QCommandLineOption simSpeedOption(
        "sim-speed", "Simulated bench: its clock runs N times faster than real time (1..1000).",
        "N");
    QCommandLineOption simToneOption(
        "sim-tone", "Simulated bench: a tone PEAK_V,HZ[,NODE] on an input node (SENSE).", "TONE");
    QCommandLineOption simHarmonicsOption(
        "sim-harmonics", "Simulated bench: harmonics of its AC sources, dBc from the 2nd on.",
        "DBC,...");
    QCommandLineOption allToolsOption(
        "all-tools",
        "Show the menu items the default menus keep hidden: Resister, Resistor CAL., SLEEP, "
        "Switch Test, Restore ADC and BryMen Show.");
    QCommandLineOption simFaultOption(
        "sim-fault",
        "Simulated bench: a fault, repeatable: TARGET:FAULT@START[+DURATION] "
        "(board:unplug@30+10, meter2:vanish@60+3; see the manual page).",
        "FAULT");
    QCommandLineOption simRxOption(
        "sim-rx", "Simulated bench: the resistor on the ohmmeter's input (4700, 4.7k; 10k).",
        "OHMS");
    QCommandLineOption simSeedOption(
        "sim-seed",
        "Simulated bench: its converters draw their noise from seed N, the same in every run.",
        "N");
    parser.addOptions({simOption,        simHidOption,     simChipOption,  kindOption,
                       dirOption,        screenshotOption, showOption,     triggerOption,
                       laterOption,      clickOption,      fieldOption,    delayOption,
                       windowOnlyOption, simSpeedOption,   simToneOption,  simHarmonicsOption,
                       simRxOption,      simSeedOption,    allToolsOption, simFaultOption});
    parser.process(*app);

    dmm::gui::BenchOptions options;
    options.sim = parser.isSet(simOption);
    options.simHid = parser.isSet(simHidOption);
    options.dir = parser.value(dirOption);
    options.simChip = parser.value(simChipOption);
    if (parser.isSet(simChipOption)) {
        if (!dmm::sim::IsSimulatedChipName(options.simChip.toStdString())) {
            std::fprintf(stderr, "dmmbench: --sim-chip: no simulated chip %s (VZ6401 or RX405)\n",
                         qPrintable(options.simChip));
            return 2;
        }
        options.sim = options.sim || !options.simHid;
    }
    if (parser.isSet(kindOption)) {
        options.kind = dmm::InterfaceKindFromName(parser.value(kindOption).toLower().toStdString());
        if (!options.kind) {
            std::fprintf(stderr,
                         "dmmbench: --kind: %s is none of rs232, spi, special, parallel, "
                         "uart, dmm\n",
                         qPrintable(parser.value(kindOption)));
            return 2;
        }
    }
    if (parser.isSet(simSpeedOption)) {
        bool ok = false;
        options.simSpeed = parser.value(simSpeedOption).toDouble(&ok);
        if (!ok || options.simSpeed < 1 || options.simSpeed > 1000) {
            std::cerr << "dmmbench: --sim-speed: give a number from 1 to 1000\n";
            return 2;
        }
    }
    std::string error;
    if (parser.isSet(simToneOption)) {
        options.simExtras.tone =
            dmm::sim::ParseSimTone(parser.value(simToneOption).toStdString(), error);
        if (!options.simExtras.tone) {
            std::cerr << "dmmbench: --sim-tone: " << error << '\n';
            return 2;
        }
    }
    if (parser.isSet(simRxOption)) {
        options.simExtras.externalOhms =
            dmm::sim::ParseSimResistor(parser.value(simRxOption).toStdString(), error);
        if (!options.simExtras.externalOhms) {
            std::cerr << "dmmbench: --sim-rx: " << error << '\n';
            return 2;
        }
    }
    if (parser.isSet(simSeedOption)) {
        options.simExtras.seed =
            dmm::sim::ParseSimSeed(parser.value(simSeedOption).toStdString(), error);
        if (!options.simExtras.seed) {
            std::cerr << "dmmbench: --sim-seed: " << error << '\n';
            return 2;
        }
    }
    if (parser.isSet(simHarmonicsOption)) {
        options.simExtras.harmonicsDbc =
            dmm::sim::ParseHarmonics(parser.value(simHarmonicsOption).toStdString(), error);
        if (!options.simExtras.harmonicsDbc) {
            std::cerr << "dmmbench: --sim-harmonics: " << error << '\n';
            return 2;
        }
    }
    for (const QString& fault : parser.values(simFaultOption)) {
        if (!dmm::sim::ParseSimFault(fault.toStdString(), options.simExtras, error)) {
            std::cerr << "dmmbench: --sim-fault: " << error << '\n';
            return 2;
        }
    }

    dmm::gui::BenchSession session(options, QCoreApplication::applicationDirPath());
    if (!session.error().isEmpty()) {
        QMessageBox::critical(nullptr, "dmmbench", session.error());
        return 1;
    }
    dmm::gui::TMainPanel mainPanel(session.bench());
    session.hooks().SetMainPanel(&mainPanel);
    dmm::gui::InstallToolWindows(mainPanel, session.bench());
    if (parser.isSet(allToolsOption)) mainPanel.ShowHiddenItems();
    session.Start();
    mainPanel.show();
    mainPanel.FormActivate();
    // SIGTERM, SIGHUP and Ctrl-C close the window as the user does, through its close path.
    const dmm::gui::CloseOnSignals closeOnSignals(
        mainPanel, [&session] { session.bench().RequestShutdown(); });
    if (parser.isSet(screenshotOption)) {
        auto list = [&](const QCommandLineOption& option) {
            return parser.value(option).split(',', Qt::SkipEmptyParts);
        };
        dmm::gui::ScreenshotPlan plan;
        plan.file = parser.value(screenshotOption);
        plan.menuItems = list(triggerOption);
        plan.fields = list(fieldOption);
        plan.laterMenuItems = list(laterOption);
        plan.windows = list(showOption);
        plan.clicks = list(clickOption);
        plan.delayMs = parser.value(delayOption).toInt();
        plan.windowOnly = parser.isSet(windowOnlyOption);
        dmm::gui::ScheduleScreenshot(mainPanel, session.bench(), plan);
    }
    const int result = app->exec();
    session.Stop();
    return result;
}
