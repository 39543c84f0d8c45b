#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace dmm {

// Text in the Traditional Chinese code page the bench's Windows users work in (Big5).
// Qt's own codecs may lack Big5, so the conversion goes through iconv.

// The Big5 bytes of text, or nothing (ok = false) when a character has no Big5 form.
QByteArray ToBig5(const QString& text, bool* ok = nullptr);
// Big5 bytes to text; bytes that are not Big5 become U+FFFD.
QString FromBig5(const QByteArray& bytes);

// Text from a chip description: UTF-8 (and so plain ASCII) reads as itself, anything
// else as the bench's Big5.
QString DescriptionFileText(const std::string& bytes);
// A register or bit description as people read it: the closing quote that the file's
// description lines keep is left off.
QString ShownDescription(const std::string& bytes);

}  // namespace dmm
