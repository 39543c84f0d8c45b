#include "headless/config_operation.h"

#include <QFileInfo>

#include "core/app/bench_settings.h"
#include "core/chip/chip_loader.h"
#include "core/instruments/chip_port.h"
#include "core/instruments/com_ports.h"

namespace dmm::headless {
namespace {

const char* ParityName(int index) {
    return index == 1 ? "even" : index == 2 ? "odd" : "none";
}

}  // namespace

BenchConfiguration ReadConfiguration(HeadlessBench& bench) {
    BenchConfiguration c;
    const QString path = bench.SettingsPath();
    c.settingsPath = path.toStdString();
    c.settingsUsed = bench.settings().has_value();
    if (path.isEmpty())
        c.source = "settings: none (no bench directory)";
    else if (bench.settings())
        c.source = "settings: " + path.toStdString();
    else if (QFileInfo::exists(path))
        c.source = "settings: " + path.toStdString() +
                   " not used (it could not be read or is not \"" + kSettingsVersionLine + "\")";
    else
        c.source = "settings: " + path.toStdString() + " missing; defaults in use";

    BenchCore& core = bench.core();
    const STND& target = core.target();
    const ChipSelector chips =
        FillChipSelector(IncludeDirectory(QString::fromStdString(bench.benchDir())));
    c.chipIndex = target.chipIndex;
    if (chips.fromFile && target.chipIndex < chips.texts.size())
        c.chipName = chips.texts[target.chipIndex];
    c.kind = std::string(InterfaceKindName(target.interfaceKind));
    const size_t baud = static_cast<size_t>(target.serialBaudIndex);
    c.com = ComPortName(target.serialPortIndex);
    c.baud = baud < kChipBaudRates.size() ? kChipBaudRates[baud] : 0;
    c.parity = ParityName(target.serialParityIndex);
    c.lptBase = core.parallel().PortBase;
    c.photo = core.chip().Photo;
    if (bench.settings())
        c.variant = ProductVariantCaption(bench.settings()->productVariant).toStdString();
    return c;
}

}  // namespace dmm::headless
