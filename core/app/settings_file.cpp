#include "core/app/settings_file.h"

#include <QList>

#include <algorithm>
#include <cstdio>

namespace dmm {
namespace {

constexpr char kEol[] = "\r\n";

// A number too wide for its field would run into the one before it and read back as
// one number: it keeps a blank in front, one character wider than its field.
void Field(QByteArray& line, long long value, int width) {
    const QByteArray digits = QByteArray::number(value);
    if (!line.isEmpty() && digits.size() >= width) line += ' ';
    line += digits.rightJustified(width, ' ');
}

void Line(QByteArray& out, const QByteArray& text) {
    out += text;
    out += kEol;
}

QByteArray Truth(bool value) {
    return value ? "TRUE" : "FALSE";
}

// The mode count as written: its field's number, or 48 when that is no number above 0.
int ModeCount(const std::string& text) {
    bool ok = false;
    const int n = QByteArray::fromStdString(text).trimmed().toInt(&ok);
    return ok && n != 0 ? n : 48;
}

// The lines of a file, CR LF or LF.
class LineReader {
  public:
    explicit LineReader(const QByteArray& file) : lines_(file.split('\n')) {
        // A final line break leaves an empty last piece that is no line.
        if (!lines_.isEmpty() && lines_.last().isEmpty()) lines_.removeLast();
        for (QByteArray& line : lines_)
            if (line.endsWith('\r')) line.chop(1);
    }
    bool AtEnd() const { return next_ >= lines_.size(); }
    QByteArray Next() { return AtEnd() ? QByteArray() : lines_[next_++]; }
    // The blank-separated integers of the next line; missing or unreadable ones are 0.
    std::array<int, 6> Numbers() {
        std::array<int, 6> values{};
        const QList<QByteArray> words = Next().simplified().split(' ');
        for (int i = 0; i < words.size() && i < 6; ++i)
            values[static_cast<size_t>(i)] = words[i].toInt();
        return values;
    }

  private:
    QList<QByteArray> lines_;
    qsizetype next_ = 0;
};

// Reads record n; false when the file ended before it.
bool ReadRecord(int n, LineReader& in, VzAdcConfig& c, ConfigRead& result) {
    if (n == 13) return true;  // a record without lines
    if (in.AtEnd()) return false;
    switch (n) {
        case 0: {
            const auto v = in.Numbers();
            c.chipIndex = v[0];
            c.interfaceKind = v[1];
            c.serialPortIndex = v[2];
            c.serialBaudIndex = v[3];
            c.serialParityIndex = v[4];
            return true;
        }
        case 1:
            for (size_t i = 0; i < c.flags.size(); ++i) {
                if (in.AtEnd()) return false;
                c.flags[i] = in.Next().trimmed().toUpper() == "TRUE";
            }
            result.flagsLoaded = true;
            return true;
        case 2:
            c.registerPage = in.Numbers()[0];
            if (in.AtEnd()) return false;
            c.ramBank = in.Numbers()[0];
            return true;
        case 3: {
            const auto v = in.Numbers();
            c.TXADCObit = v[0];
            c.TXADPFbit = v[1];
            c.TXPHSEL = v[2];
            return true;
        }
        case 4: {
            const auto v = in.Numbers();
            c.NPointIndex = v[0];
            c.TXScale = v[1];
            if (in.AtEnd()) return false;
            in.Next();
            // The chart always starts in time-domain view, whatever was saved.
            c.spectrumView = false;
            return true;
        }
        case 5:
            c.CFunADC = in.Numbers()[0];
            return true;
        case 6:
            c.CLPT = in.Numbers()[0];
            return true;
        case 7: {
            const auto v = in.Numbers();
            const bool usable = v[0] != 0 && v[1] != 0;
            c.displayValue = usable ? v[0] : kDefaultDisplayValue;
            c.displayReading = usable ? v[1] : kDefaultDisplayReading;
            return true;
        }
        case 8: {
            // Register bytes: a value outside 0..255 refuses the whole record (both
            // lines), rather than a wrapped byte reaching the chip.
            std::array<std::array<int, 6>, 2> lines{};
            for (auto& values : lines) {
                if (in.AtEnd()) return false;
                values = in.Numbers();
            }
            for (const auto& values : lines)
                for (int v : values)
                    if (v < 0 || v > 0xFF) return true;
            for (size_t i = 0; i < c.scaleCopy.size(); ++i) {
                c.scaleCopy[i] = static_cast<uint8_t>(lines[0][i]);
                c.dmmCopy[i] = static_cast<uint8_t>(lines[1][i]);
            }
            return true;
        }
        case 9:
            c.ComFun = in.Numbers()[0];
            if (in.AtEnd()) return false;
            c.ADShift = in.Numbers()[0];
            return true;
        case 10:
            c.Photo = in.Numbers()[0] == 1;
            return true;
        case 11:
            c.EREFV = in.Next().toStdString();
            return true;
        case 12:
            c.CMAVR = in.Numbers()[0];
            return true;
        case 14:
            c.EModenum = std::to_string(in.Numbers()[0]);
            return true;
        case 15:
            c.productVariant = ProductVariantOfCode(in.Next().toStdString());
            return true;
        case 16:
            c.calibrationSetDirectory = in.Next().toStdString();
            return true;
        default:
            return false;
    }
}

}  // namespace

const char* ProductVariantCode(int variant) {
    switch (variant) {
        case 1:
            return "03077";
        case 2:
            return "0B108";
        case 3:
            return "0B301";
        default:
            return "0B3F7";
    }
}

int ProductVariantOfCode(const std::string& text) {
    bool ok = false;
    const int code = QByteArray::fromStdString(text).trimmed().toInt(&ok, 16);
    if (!ok) return 0;
    switch (code) {
        case 0x3077:
            return 1;
        case 0xB108:
            return 2;
        case 0xB301:
            return 3;
        default:
            return 0;
    }
}

const char* ProductVariantTitle(int variant) {
    switch (variant) {
        case 1:
            return "VZ640x";
        case 2:
            return "VZ6403";
        case 3:
            return "VZ640XENG";
        default:
            return "VZ6401";
    }
}

uint16_t PortBaseOfClptItem(int item) {
    return item == 1 ? 0x278 : item == 2 ? 0x3BC : 0x378;
}

QByteArray FormatVzAdcConfig(const VzAdcConfig& c) {
    QByteArray out;
    Line(out, kSettingsVersionLine);
    QByteArray line;
    auto numbers = [&](std::initializer_list<long long> values, int width) {
        line.clear();
        for (long long v : values) Field(line, v, width);
        Line(out, line);
    };
    numbers(
        {c.chipIndex, c.interfaceKind, c.serialPortIndex, c.serialBaudIndex, c.serialParityIndex},
        4);
    for (bool flag : c.flags) Line(out, Truth(flag));
    numbers({c.registerPage}, 2);
    numbers({c.ramBank}, 2);
    numbers({c.TXADCObit, c.TXADPFbit, c.TXPHSEL}, 4);
    numbers({c.NPointIndex, c.TXScale}, 4);
    Line(out, Truth(c.spectrumView));
    numbers({c.CFunADC}, 4);
    numbers({c.CLPT}, 4);
    numbers({c.displayValue, c.displayReading}, 8);
    for (const FunctionRegisterCopy* copy : {&c.scaleCopy, &c.dmmCopy}) {
        line.clear();
        for (uint8_t v : *copy) Field(line, v, 4);
        Line(out, line);
    }
    numbers({c.ComFun}, 4);
    numbers({c.ADShift}, 4);
    numbers({c.Photo ? 1 : 0}, 4);
    Line(out, QByteArray::fromStdString(c.EREFV));
    numbers({c.CMAVR}, 4);
    numbers({ModeCount(c.EModenum)}, 6);
    Line(out, ProductVariantCode(c.productVariant));
    Line(out, QByteArray::fromStdString(c.calibrationSetDirectory));
    return out;
}

ConfigRead ReadVzAdcConfig(const QByteArray& file, VzAdcConfig& config) {
    ConfigRead result;
    LineReader in(file);
    if (in.Next() != kSettingsVersionLine) return result;
    result.versionMatched = true;
    // Records are applied to a copy first, so that a record cut short by the end of the
    // file is not half applied.
    for (int n = 0; n < kSettingsRecordCount; ++n) {
        VzAdcConfig next = config;
        if (!ReadRecord(n, in, next, result)) break;
        config = next;
        result.recordsRead = n + 1;
    }
    return result;
}

}  // namespace dmm
