#include "core/views/big5_text.h"

#include <QStringDecoder>

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace dmm {
namespace {

// Converts all of in; false when iconv meets a byte sequence it cannot convert.
bool Convert(const char* to, const char* from, const QByteArray& in, QByteArray& out,
             bool replaceInvalid) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> input(in.begin(), in.end());
    char* inPtr = input.data();
    size_t inLeft = input.size();
    bool clean = true;
    char chunk[256];
    while (inLeft > 0) {
        char* outPtr = chunk;
        size_t outLeft = sizeof chunk;
        const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(chunk, static_cast<qsizetype>(sizeof chunk - outLeft));
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        clean = false;
        if (!replaceInvalid) break;
        // EILSEQ or EINVAL (a cut multi-byte sequence): skip one byte, mark it.
        out.append(QStringLiteral("\uFFFD").toUtf8());
        ++inPtr;
        --inLeft;
    }
    iconv_close(cd);
    return clean;
}

bool IsAscii(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

QByteArray ToBig5(const QString& text, bool* ok) {
    const QByteArray utf8 = text.toUtf8();
    if (IsAscii(utf8)) {  // Big5 keeps ASCII as it is
        if (ok) *ok = true;
        return utf8;
    }
    QByteArray out;
    const bool converted = Convert("BIG5", "UTF-8", utf8, out, false);
    if (ok) *ok = converted;
    return converted ? out : QByteArray();
}

QString FromBig5(const QByteArray& bytes) {
    if (IsAscii(bytes)) return QString::fromLatin1(bytes);
    QByteArray utf8;
    Convert("UTF-8", "BIG5", bytes, utf8, true);
    return QString::fromUtf8(utf8);
}

QString DescriptionFileText(const std::string& bytes) {
    const QByteArray raw = QByteArray::fromStdString(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(raw);
    return utf8.hasError() ? FromBig5(raw) : text;
}

QString ShownDescription(const std::string& bytes) {
    QString text = DescriptionFileText(bytes);
    if (text.endsWith(QLatin1Char('"'))) text.chop(1);
    return text;
}

}  // namespace dmm
