// The settings and window placement readers: any bytes in, settings out; what they read
// must survive being written and read again unchanged.
#include <cstdint>
#include <cstdlib>

#include "core/app/placement_file.h"
#include "core/app/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    dmm::VzAdcConfig first;
    if (dmm::ReadVzAdcConfig(bytes, first).versionMatched) {
        const QByteArray written = dmm::FormatVzAdcConfig(first);
        dmm::VzAdcConfig second;
        const dmm::ConfigRead again = dmm::ReadVzAdcConfig(written, second);
        if (again.recordsRead != dmm::kSettingsRecordCount) std::abort();
        if (dmm::FormatVzAdcConfig(second) != written) std::abort();
    }

    const auto placements = dmm::ReadPlacementFile(bytes);
    if (placements.size() > static_cast<size_t>(dmm::kMaxPlacements)) std::abort();
    const QByteArray written = dmm::FormatPlacementFile(placements);
    const auto again = dmm::ReadPlacementFile(written);
    if (again.size() != placements.size()) std::abort();
    if (dmm::FormatPlacementFile(dmm::ReadPlacementFile(dmm::FormatPlacementFile(again))) !=
        dmm::FormatPlacementFile(again))
        std::abort();
    return 0;
}
