// The settings the command line shares with dmmbench: config.
#include "cli/verb.h"
#include "core/link/number_text.h"
#include "headless/config_operation.h"

namespace dmm::cli {
namespace {

// Where the settings in use came from, and then each of them as this run uses it.
class ConfigVerb final : public Verb {
  public:
    void Define(CLI::App&) override {}
    bool Run(Session& s) override {
        const headless::BenchConfiguration c = headless::ReadConfiguration(s.bench());
        s.out() << c.source << '\n';
        s.out() << "chip: " << c.chipIndex;
        if (!c.chipName.empty()) s.out() << " (" << c.chipName << ')';
        s.out() << '\n';
        s.out() << "kind: " << c.kind << '\n';
        s.out() << "serial: " << c.com << ' ' << c.baud << ' ' << c.parity << '\n';
        s.out() << "lpt: 0x" << HexStr(c.lptBase, 3) << '\n';
        s.out() << "photo: " << (c.photo ? "on" : "off") << '\n';
        if (c.variant) s.out() << "variant: " << *c.variant << '\n';
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
