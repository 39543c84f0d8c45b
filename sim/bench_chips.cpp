#include "sim/bench_chips.h"

#include <QString>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "sim/sim_dmm_chip.h"
#include "sim/switch_test_firmware.h"

namespace dmm::sim {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())),
                        Qt::CaseInsensitive) == 0;
}

}  // namespace

bool IsSimulatedChipName(std::string_view name) {
    return name.empty() || SameName(name, kDemoDmmChipName) || SameName(name, kSwitchTestChipName);
}

std::unique_ptr<SimChip> MakeBenchChip(const QString& benchDir, std::string_view name,
                                       std::string* error) {
    if (name.empty() || SameName(name, kDemoDmmChipName)) return MakeBenchChip(benchDir, error);
    std::string why = "no simulated chip " + std::string(name);
    if (SameName(name, kSwitchTestChipName)) {
        const QString path =
            FindFileCaseInsensitive(IncludeDirectory(benchDir), kSwitchTestDescription);
        why = "no " + std::string(kSwitchTestDescription) +
              " in the bench directory's INCLUDE folder";
        if (!benchDir.isEmpty() && !path.isEmpty()) {
            if (auto chip = SwitchTestFirmware::FromDescriptionFile(path, &why)) return chip;
        }
    }
    if (error) *error = why;
    return std::make_unique<SimChip>();
}

}  // namespace dmm::sim
