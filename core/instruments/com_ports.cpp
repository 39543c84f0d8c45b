#include "core/instruments/com_ports.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>
#include <cctype>

#include "core/app/atomic_write.h"

namespace dmm {
namespace {

// "ttyS10" sorts after "ttyS9": the trailing number compares as a number.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t end = s.size();
        while (end > 0 && std::isdigit(static_cast<unsigned char>(s[end - 1]))) --end;
        const long number = end < s.size() ? std::stol(s.substr(end, 9)) : -1;
        return std::pair<std::string, long>(s.substr(0, end), number);
    };
    return split(a) < split(b);
}

bool Matches(const SerialPortInfo& port, const std::string& wanted) {
    return wanted == port.stableKey || wanted == port.path || wanted == port.name;
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

std::string ComPortName(int index) {
    return "COM" + std::to_string(index + 1);
}

std::optional<int> ComIndexFromName(std::string_view name) {
    if (name.size() < 4 || name.size() > 5) return std::nullopt;
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
    }
    int number = 0;
    for (char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number < 1 || number > kComPortCount) return std::nullopt;
    return number - 1;
}

ComPortChoices ParseComPortChoices(const QByteArray& text, std::vector<std::string>* problems) {
    ComPortChoices choices;
    int lineNumber = 0;
    for (const QByteArray& raw : text.split('\n')) {
        ++lineNumber;
        const std::string line = Trimmed(raw.toStdString());
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        const auto index = eq == std::string::npos
                               ? std::nullopt
                               : ComIndexFromName(Trimmed(std::string_view(line).substr(0, eq)));
        const std::string value = eq == std::string::npos ? "" : Trimmed(line.substr(eq + 1));
        if (!index || value.empty()) {
            if (problems)
                problems->push_back("line " + std::to_string(lineNumber) + ": \"" + line +
                                    "\" is not COMn=PORT");
            continue;
        }
        choices.pinned[*index] = value;
    }
    return choices;
}

QByteArray FormatComPortChoices(const ComPortChoices& choices) {
    QByteArray text;
    for (const auto& [index, value] : choices.pinned) {
        text += QByteArray::fromStdString(ComPortName(index) + "=" + value + "\r\n");
    }
    return text;
}

ComPortChoices ReadComPortChoices(const QString& benchDir, std::vector<std::string>* problems) {
    QFile file(QDir(benchDir).filePath(QString::fromLatin1(kComPortFileName)));
    if (benchDir.isEmpty() || !file.open(QIODevice::ReadOnly)) return {};
    return ParseComPortChoices(file.readAll(), problems);
}

bool WriteComPortChoices(const QString& benchDir, const ComPortChoices& choices, QString& error) {
    return WriteFileAtomically(QDir(benchDir).filePath(QString::fromLatin1(kComPortFileName)),
                               FormatComPortChoices(choices), error);
}

ComPortMap ComPortMap::Build(std::vector<SerialPortInfo> ports, const ComPortChoices& choices) {
    ComPortMap map;
    for (const auto& pin : choices.pinned) {
        const int index = pin.first;
        const std::string& wanted = pin.second;
        if (index < 0 || index >= kComPortCount) continue;
        Entry& entry = map.entries_[static_cast<size_t>(index)];
        entry.pinnedTo = wanted;
        auto it = std::find_if(ports.begin(), ports.end(),
                               [&](const SerialPortInfo& p) { return Matches(p, wanted); });
        if (it == ports.end()) continue;
        entry.port = *it;
        ports.erase(it);
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        if (a.builtIn != b.builtIn) return a.builtIn;
        if (a.builtIn) return NaturalLess(a.name, b.name);
        return a.stableKey < b.stableKey;
    });
    size_t next = 0;
    for (SerialPortInfo& port : ports) {
        while (next < map.entries_.size() &&
               (map.entries_[next].port || !map.entries_[next].pinnedTo.empty()))
            ++next;
        if (next == map.entries_.size()) {
            map.unmapped_.push_back(std::move(port));
            continue;
        }
        map.entries_[next].port = std::move(port);
    }
    return map;
}

ComPortMap ComPortMap::Rescanned(std::vector<SerialPortInfo> ports,
                                 const ComPortChoices& choices) const {
    // Ports the user did not assign stay where this map had them, if they are still there
    // and their index is not the user's.
    std::array<std::string, kComPortCount> kept{};
    for (size_t i = 0; i < entries_.size(); ++i) {
        const std::optional<SerialPortInfo>& was = entries_[i].port;
        if (!was || choices.pinned.count(static_cast<int>(i))) continue;
        auto it = std::find_if(ports.begin(), ports.end(), [&](const SerialPortInfo& p) {
            return p.stableKey == was->stableKey;
        });
        if (it == ports.end()) continue;
        const bool pinnedElsewhere =
            std::any_of(choices.pinned.begin(), choices.pinned.end(),
                        [&](const auto& pin) { return Matches(*it, pin.second); });
        if (!pinnedElsewhere) kept[i] = it->stableKey;
    }
    ComPortChoices withKept = choices;
    for (size_t i = 0; i < kept.size(); ++i)
        if (!kept[i].empty()) withKept.pinned[static_cast<int>(i)] = kept[i];
    ComPortMap map = Build(std::move(ports), withKept);
    // What was kept is no assignment of the user's.
    for (size_t i = 0; i < kept.size(); ++i)
        if (!kept[i].empty()) map.entries_[i].pinnedTo.clear();
    return map;
}

const ComPortMap::Entry& ComPortMap::At(int index) const {
    static const Entry none;
    if (index < 0 || index >= kComPortCount) return none;
    return entries_[static_cast<size_t>(index)];
}

std::string ComPortMap::SelectorText(int index) const {
    const Entry& entry = At(index);
    std::string text = ComPortName(index) + " \u2014 ";
    if (!entry.port) {
        return text + (entry.pinnedTo.empty() ? "no device" : entry.pinnedTo + " (not plugged in)");
    }
    const SerialPortInfo& port = *entry.port;
    text += port.name;
    if (!port.description.empty()) text += ", " + port.description;
    if (!port.serialNumber.empty()) text += " '" + port.serialNumber + "'";
    return text;
}

bool ComPortMap::Resolve(int index, std::string& path, std::string& why) const {
    if (index < 0 || index >= kComPortCount) {
        why = "there is no COM" + std::to_string(index + 1) + " (COM1 to COM16)";
        return false;
    }
    const Entry& entry = At(index);
    if (!entry.port) {
        why = entry.pinnedTo.empty()
                  ? ComPortName(index) + " has no serial port behind it"
                  : ComPortName(index) + " is " + entry.pinnedTo + ", which is not plugged in";
        return false;
    }
    path = entry.port->path;
    return true;
}

}  // namespace dmm
