#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/instruments/serial_port.h"

namespace dmm {

// Files and selectors name serial ports "COM1".."COM16" (the settings file stores their
// indexes 0..15); this map says which port of the machine each index means.
inline constexpr int kComPortCount = 16;

std::string ComPortName(int index);                          // 0 -> "COM1"
std::optional<int> ComIndexFromName(std::string_view name);  // "COM3" or "com3" -> 2

// The user's own assignments: COM index -> a port by its stable key, path or name.
// Kept in the bench directory as lines "COM3=usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0".
inline constexpr char kComPortFileName[] = "ComPorts.txt";
struct ComPortChoices {
    std::map<int, std::string> pinned;
};
// Lines that are not "COMn=VALUE" (n 1..16) are skipped and named in problems.
ComPortChoices ParseComPortChoices(const QByteArray& text, std::vector<std::string>* problems);
QByteArray FormatComPortChoices(const ComPortChoices& choices);
// The assignments kept in a bench directory (none when it has no such file).
ComPortChoices ReadComPortChoices(const QString& benchDir, std::vector<std::string>* problems);
bool WriteComPortChoices(const QString& benchDir, const ComPortChoices& choices, QString& error);

class ComPortMap {
  public:
    struct Entry {
        std::optional<SerialPortInfo> port;
        std::string pinnedTo;  // the user's assignment; set without a port when it is missing
    };

    ComPortMap() = default;
    // The user's assignments first; every other port takes the lowest free index, ports
    // of the machine itself first (by name: ttyS0, ttyS1, ...), then plug-in adapters by
    // their stable key, so that an adapter keeps its index however it is re-plugged.
    static ComPortMap Build(std::vector<SerialPortInfo> ports, const ComPortChoices& choices);
    // The map after the ports were listed again during a run: every port still there keeps
    // its index (a port chosen in a selector stays what it was); new ports take the free
    // indexes, lowest first, as Build gives them. The user's assignments come first.
    ComPortMap Rescanned(std::vector<SerialPortInfo> ports, const ComPortChoices& choices) const;

    const Entry& At(int index) const;
    // Ports found beyond the sixteen indexes.
    const std::vector<SerialPortInfo>& Unmapped() const { return unmapped_; }
    // "COM3 — ttyUSB0, FT232R USB UART 'A50285BI'", "COM5 — no device".
    std::string SelectorText(int index) const;
    // The path behind an index, or false and why nothing can be opened there.
    bool Resolve(int index, std::string& path, std::string& why) const;

  private:
    std::array<Entry, kComPortCount> entries_{};
    std::vector<SerialPortInfo> unmapped_;
};

}  // namespace dmm
