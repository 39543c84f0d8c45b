#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which /dev/parportN a port base of the setup list means on this Linux system, and the
// texts a user reads when a port cannot be had. Pure functions apart from the listing.
namespace dmm::platform {

inline constexpr char kProcParportDir[] = "/proc/sys/dev/parport";

// One port the system lists under /proc/sys/dev/parport.
struct SystemParport {
    int number = 0;                // N of parportN (and of /dev/parportN)
    std::optional<uint32_t> base;  // its I/O base, when the system reports one
};

// A base-addr file: the base and the high base, in decimal ("888\t1912\n").
std::optional<uint32_t> ParseParportBase(std::string_view text);

// The ports of a proc directory (its parportN folders), ordered by number.
std::vector<SystemParport> ListParports(const std::string& procDir);

// The device node for a port base: the port whose reported base matches. When none does
// (the card sits at another base, or the system lists no ports), the list's position
// decides: LPT1 (0x378) is parport0, LPT2 (0x278) parport1, PRN1 (0x3BC) parport2. Any
// other base without a matching port has no node (empty).
std::string ChooseParportNode(uint16_t base, const std::vector<SystemParport>& ports,
                              const std::string& devDir);

// "/dev/parport0: Permission denied — add your user to the lp group": the system's error
// text (in English, whatever the locale) and what to do about it. opening tells whether
// the port was being opened (or claimed) or was lost while in use.
std::string PortErrorText(const std::string& devnode, int error, bool opening);

}  // namespace dmm::platform
