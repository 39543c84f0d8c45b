// The settings the command line shares with dmmbench: config.
#include <QFileInfo>

#include "cli/verb.h"
#include "core/app/bench_settings.h"
#include "core/chip/chip_loader.h"
#include "core/instruments/chip_port.h"
#include "core/instruments/com_ports.h"
#include "core/link/number_text.h"

namespace dmm::cli {
namespace {

const char* ParityName(int index) {
    return index == 1 ? "even" : index == 2 ? "odd" : "none";
}

// Where the settings in use came from, and then each of them as this run uses it.
class ConfigVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        const QString path = s.SettingsPath();
        if (path.isEmpty())
            s.out() << "settings: none (no bench directory)\n";
        else if (s.settings())
            s.out() << "settings: " << path.toStdString() << '\n';
        else if (QFileInfo::exists(path))
            s.out() << "settings: " << path.toStdString()
                    << " not used (it could not be read or is not \"" << kSettingsVersionLine
                    << "\")\n";
        else
            s.out() << "settings: " << path.toStdString() << " missing; defaults in use\n";

        BenchCore& core = s.core();
        const STND& target = core.target();
        const ChipSelector chips =
            FillChipSelector(IncludeDirectory(QString::fromStdString(s.benchDir())));
        s.out() << "chip: " << target.chipIndex;
        if (chips.fromFile && target.chipIndex < chips.texts.size())
            s.out() << " (" << chips.texts[target.chipIndex] << ')';
        s.out() << '\n';
        s.out() << "kind: " << InterfaceKindName(target.interfaceKind) << '\n';
        const size_t baud = static_cast<size_t>(target.serialBaudIndex);
        s.out() << "serial: " << ComPortName(target.serialPortIndex) << ' '
                << (baud < kChipBaudRates.size() ? kChipBaudRates[baud] : 0) << ' '
                << ParityName(target.serialParityIndex) << '\n';
        s.out() << "lpt: 0x" << HexStr(core.parallel().PortBase, 3) << '\n';
        s.out() << "photo: " << (core.chip().Photo ? "on" : "off") << '\n';
        if (s.settings())
            s.out() << "variant: "
                    << ProductVariantCaption(s.settings()->productVariant).toStdString() << '\n';
        return true;
    }
};

}  // namespace

void AddConfigVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back(
        {"config", "print the settings in use: VzADC.cfg of the bench directory, then the options",
         [] { return std::make_unique<ConfigVerb>(); }});
}

}  // namespace dmm::cli
