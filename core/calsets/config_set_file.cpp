#include "core/calsets/config_set_file.h"

#include <QList>

#include <algorithm>
#include <cmath>

#include "core/views/big5_text.h"

namespace dmm {
namespace {

QList<QByteArray> Lines(const QByteArray& bytes) {
    QList<QByteArray> lines = bytes.split('\n');
    // The text after the last line break is a line only when it holds something.
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) line.chop(1);
    }
    return lines;
}

int HexAt(const QByteArray& line, int from, int count) {
    bool ok = false;
    const int value = line.mid(from, count).trimmed().toInt(&ok, 16);
    return ok ? value : 0;
}

double Number(const QByteArray& line) {
    bool ok = false;
    const double value = line.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

int Integer(const QByteArray& line) {
    bool ok = false;
    const int value = line.trimmed().toInt(&ok);
    return ok ? value : 0;
}

// Texts are the bench's Big5, as the sets of the Windows program are; UTF-8 reads as itself.
QString Text(const QByteArray& line) {
    return DescriptionFileText(line.toStdString());
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "AAAA VV", maybe followed by blanks.
bool IsRegisterLine(const QByteArray& line) {
    if (line.size() < 7 || line[4] != ' ' || !line.mid(7).trimmed().isEmpty()) return false;
    for (int i : {0, 1, 2, 3, 5, 6}) {
        if (!IsHex(line[i])) return false;
    }
    return true;
}

bool IsNumber(const QByteArray& line) {
    bool ok = false;
    const double value = line.trimmed().toDouble(&ok);
    return ok && std::isfinite(value);
}

bool IsInteger(const QByteArray& line) {
    bool ok = false;
    static_cast<void>(line.trimmed().toInt(&ok));
    return ok;
}

QByteArray Bytes(const QString& text) {
    bool ok = false;
    const QByteArray big5 = ToBig5(text, &ok);
    return ok ? big5 : text.toUtf8();
}

}  // namespace

QString ConfigSetFileName(int slot) {
    return QStringLiteral("VZCONFIG-%1.txt").arg(slot);
}

int ValidAverageTimes(int n) {
    return n < 3 || n > 200 ? 5 : n;
}

int DisplayDecimals(const QString& scale, const QString& reference) {
    int digits = 0;
    while (digits < reference.size() && reference[digits].isDigit()) ++digits;
    return std::max(0, static_cast<int>(scale.size()) - digits);
}

QByteArray WriteConfigSet(const ConfigSet& set) {
    QByteArray out;
    auto line = [&out](const QByteArray& text) {
        out += text;
        out += "\r\n";
    };
    for (const RegisterPair& pair : set.registers)
        line(QString::asprintf("%04X %02X", pair.address, pair.value).toLatin1());
    line(Bytes(set.reference));
    line(Bytes(set.unit));
    line(QString::asprintf("%4d", set.adcChoice).toLatin1());
    line(Bytes(set.name));
    line(QString::asprintf("%f", set.adc1Gain).toLatin1());
    line(QString::asprintf("%f", set.rmsGain).toLatin1());
    line(Bytes(set.scale));
    line(QString::asprintf("%f", set.adc1Offset).toLatin1());
    line(QString::asprintf("%f", set.rmsOffset).toLatin1());
    line(QString::asprintf("%4d", set.cancelOffset).toLatin1());
    line(QString::asprintf("%4d", set.averageTimes).toLatin1());
    return out;
}

int RegisterLinesIn(const QByteArray& bytes) {
    return std::min(static_cast<int>(Lines(bytes).size()), kConfigSetRegisterLines);
}

QString ConfigSetFault(const QByteArray& bytes) {
    QList<QByteArray> lines = Lines(bytes);
    while (!lines.isEmpty() && lines.back().trimmed().isEmpty()) lines.removeLast();
    if (lines.size() != kConfigSetLines)
        return QStringLiteral("%1 lines where a set has %2").arg(lines.size()).arg(kConfigSetLines);
    for (int i = 0; i < kConfigSetRegisterLines; ++i) {
        if (!IsRegisterLine(lines[i]))
            return QStringLiteral("line %1 is not a register line").arg(i + 1);
    }
    for (int lineNumber : {67, 74, 75}) {
        if (!IsInteger(lines[lineNumber - 1]))
            return QStringLiteral("line %1 is not a whole number").arg(lineNumber);
    }
    for (int lineNumber : {69, 70, 72, 73}) {
        if (!IsNumber(lines[lineNumber - 1]))
            return QStringLiteral("line %1 is not a number").arg(lineNumber);
    }
    return {};
}

ConfigSet ReadConfigSet(const QByteArray& bytes) {
    const QList<QByteArray> lines = Lines(bytes);
    ConfigSet set;
    const int n = static_cast<int>(lines.size());
    for (int i = 0; i < std::min(n, kConfigSetRegisterLines); ++i) {
        const QByteArray& l = lines[i];
        set.registers[static_cast<size_t>(i)] = {static_cast<uint16_t>(HexAt(l, 0, 4)),
                                                 static_cast<uint8_t>(HexAt(l, 5, 2))};
    }
    auto at = [&lines, n](int lineNumber) -> const QByteArray* {
        return lineNumber <= n ? &lines[lineNumber - 1] : nullptr;
    };
    if (auto l = at(65)) set.reference = Text(*l);
    if (auto l = at(66)) set.unit = Text(*l);
    if (auto l = at(67)) set.adcChoice = Integer(*l) == 1 ? 1 : 0;
    if (auto l = at(68)) set.name = Text(*l);
    if (auto l = at(69)) set.adc1Gain = Number(*l);
    if (auto l = at(70)) set.rmsGain = Number(*l);
    if (auto l = at(71)) set.scale = Text(*l);
    if (auto l = at(72)) set.adc1Offset = Number(*l);
    if (auto l = at(73)) set.rmsOffset = Number(*l);
    if (auto l = at(74)) set.cancelOffset = Integer(*l) >= 1 ? 1 : 0;
    if (auto l = at(75)) set.averageTimes = ValidAverageTimes(Integer(*l));
    return set;
}

}  // namespace dmm
