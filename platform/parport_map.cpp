#include "platform/parport_map.h"

#include <locale.h>
#include <string.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/link/parallel_link.h"

namespace dmm::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNodePrefix = "parport";

std::optional<int> PortNumber(std::string_view name) {
    if (name.substr(0, kNodePrefix.size()) != kNodePrefix) return std::nullopt;
    const std::string_view digits = name.substr(kNodePrefix.size());
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

// strerror in the C locale: the GUI runs with the user's locale, the texts stay English
// like the program's other status texts.
std::string SystemErrorText(int error) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c ? strerror_l(error, c) : strerror(error);
}

std::string Hint(int error, bool opening) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "add your user to the lp group";
        case EBUSY:
            return "another program holds the port";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return opening ? "no parallel port there (are the parport_pc and ppdev modules loaded?)"
                           : "the port has gone";
        default:
            return opening ? "" : "the port stopped answering";
    }
}

}  // namespace

std::optional<uint32_t> ParseParportBase(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    uint32_t base = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), base);
    if (error != std::errc()) return std::nullopt;
    // The number must end where a field ends.
    if (end != text.data() + text.size() && *end != '\t' && *end != ' ' && *end != '\n')
        return std::nullopt;
    return base;
}

std::vector<SystemParport> ListParports(const std::string& procDir) {
    std::vector<SystemParport> ports;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(procDir, error)) {
        const auto number = PortNumber(entry.path().filename().string());
        if (!number) continue;
        SystemParport port;
        port.number = *number;
        std::ifstream in(entry.path() / "base-addr");
        std::stringstream text;
        text << in.rdbuf();
        if (in) port.base = ParseParportBase(text.str());
        ports.push_back(port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const SystemParport& a, const SystemParport& b) { return a.number < b.number; });
    return ports;
}

std::string ChooseParportNode(uint16_t base, const std::vector<SystemParport>& ports,
                              const std::string& devDir) {
    const auto node = [&](int number) {
        return devDir + "/" + std::string(kNodePrefix) + std::to_string(number);
    };
    for (const SystemParport& port : ports) {
        if (port.base && *port.base == base) return node(port.number);
    }
    if (!IsLptPortBase(base)) return {};
    return node(LptItemIndex(base));
}

std::string PortErrorText(const std::string& devnode, int error, bool opening) {
    std::string text = devnode + ": " + SystemErrorText(error);
    const std::string hint = Hint(error, opening);
    if (!hint.empty()) text += " \u2014 " + hint;
    return text;
}

}  // namespace dmm::platform
