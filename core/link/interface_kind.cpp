#include "core/link/interface_kind.h"

#include <array>

namespace dmm {
namespace {
constexpr std::array<std::string_view, kInterfaceKindCount> kNames = {"rs232",    "spi",  "special",
                                                                      "parallel", "uart", "dmm"};
}

std::string_view InterfaceKindName(InterfaceKind kind) {
    const auto index = static_cast<size_t>(kind);
    return index < kNames.size() ? kNames[index] : std::string_view("?");
}

std::optional<InterfaceKind> InterfaceKindFromName(std::string_view name) {
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) return static_cast<InterfaceKind>(i);
    }
    return std::nullopt;
}

}  // namespace dmm
