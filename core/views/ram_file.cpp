#include "core/views/ram_file.h"

#include <QFile>
#include <QList>

#include <limits>

#include "core/app/atomic_write.h"
#include "core/views/big5_text.h"

namespace dmm {
namespace {

constexpr int kRecordLines = 3;
constexpr int kFileLines = kRamFileAddresses + kRecordLines * kRamFileAddresses;
// A .ram file is about 10 kB; anything far larger is not one, and is not read whole.
constexpr qint64 kLargestFile = 4 * 1024 * 1024;

// Hints are written in Big5, which the Windows program reads. A hint with a character
// Big5 lacks is written in UTF-8 behind a byte-order mark instead, so that nothing is lost
// and the reader can tell the two apart.
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

QByteArray EncodeHint(QString hint) {
    hint.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    bool ok = false;
    const QByteArray big5 = ToBig5(hint, &ok);
    return ok ? big5 : QByteArray(kUtf8Mark) + hint.toUtf8();
}

QString DecodeHint(const QByteArray& line) {
    if (line.startsWith(kUtf8Mark)) return QString::fromUtf8(line.mid(3));
    return FromBig5(line);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "-" gives nullopt in value; false when the line is neither "-" nor a hex byte.
bool ParseValue(const QByteArray& line, std::optional<uint8_t>& value) {
    const QByteArray text = line.trimmed();
    if (text == "-") {
        value.reset();
        return true;
    }
    if (text.isEmpty() || text.size() > 2) return false;
    int v = 0;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        v = v * 16 + d;
    }
    value = static_cast<uint8_t>(v);
    return true;
}

// A decimal integer with an optional sign that fits in 32 bits (signed or unsigned:
// colours are written either way).
bool ParseInteger(const QByteArray& token, int64_t& out) {
    bool ok = false;
    const qlonglong v = token.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    out = v;
    return true;
}

QString LineError(int lineIndex, const QString& what, const QByteArray& line) {
    QByteArray shown = line.left(40);
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    return QStringLiteral("line %1: %2 (\"%3\")")
        .arg(lineIndex + 1)
        .arg(what, QString::fromLatin1(shown));
}

}  // namespace

QByteArray FormatRamFile(const RamFileContents& contents) {
    QByteArray out;
    out.reserve(16 * 1024);
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const std::optional<uint8_t>& value : contents.values) {
        if (value) {
            out.append(kHex[*value >> 4]);
            out.append(kHex[*value & 0x0F]);
        } else {
            out.append('-');
        }
        out.append("\r\n");
    }
    for (const RamCellNote& note : contents.notes) {
        out.append(note.marked ? " 1" : " 0");
        out.append(note.hinted ? " 1\r\n" : " 0\r\n");
        out.append(QByteArray::number(note.colour));
        out.append("\r\n");
        out.append(EncodeHint(note.hint));
        out.append("\r\n");
    }
    return out;
}

RamFileParse ParseRamFile(const QByteArray& bytes) {
    RamFileParse result;
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) line.chop(1);
    }
    if (lines.size() < kFileLines) {
        result.error =
            QStringLiteral("the file is too short: it holds %1 of the %2 lines of a RAM file")
                .arg(lines.size())
                .arg(kFileLines);
        return result;
    }
    RamFileContents& contents = result.contents;
    for (int a = 0; a < kRamFileAddresses; ++a) {
        if (!ParseValue(lines[a], contents.values[static_cast<size_t>(a)])) {
            result.error =
                LineError(a, QStringLiteral("not a byte in hexadecimal or \"-\""), lines[a]);
            return result;
        }
    }
    for (int a = 0; a < kRamFileAddresses; ++a) {
        const int at = kRamFileAddresses + a * kRecordLines;
        RamCellNote& note = contents.notes[static_cast<size_t>(a)];

        const QList<QByteArray> flags = lines[at].simplified().split(' ');
        int64_t mark = 0, hint = 0;
        if (flags.size() != 2 || !ParseInteger(flags[0], mark) || !ParseInteger(flags[1], hint)) {
            result.error =
                LineError(at, QStringLiteral("expected the mark and hint flags"), lines[at]);
            return result;
        }
        int64_t colour = 0;
        if (!ParseInteger(lines[at + 1].trimmed(), colour)) {
            result.error =
                LineError(at + 1, QStringLiteral("expected a colour number"), lines[at + 1]);
            return result;
        }
        note.marked = mark == 1;
        note.hinted = hint == 1;
        note.colour = static_cast<TColor>(static_cast<uint32_t>(colour));
        note.hint = DecodeHint(lines[at + 2]);
    }
    result.ok = true;
    return result;
}

bool WriteRamFile(const QString& path, const RamFileContents& contents, QString& error) {
    return WriteFileAtomically(path, FormatRamFile(contents), error);
}

RamFileParse ReadRamFile(const QString& path) {
    RamFileParse result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    if (file.size() > kLargestFile) {
        result.error = QStringLiteral("the file is too large to be a RAM file");
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    return ParseRamFile(bytes);
}

}  // namespace dmm
