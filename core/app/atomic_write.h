#pragma once

#include <QByteArray>
#include <QString>

namespace dmm {

// Writes bytes to path through a temporary file in the same folder that replaces path
// only once everything is on disk; on failure path is left as it was and error says why.
//
// QSaveFile alone is not enough: with its write buffer, Qt 6.4 reports success for a file
// cut short by a full disk (a partial write followed by an error is taken as done), and
// then renames the truncated file into place. Unbuffered writes show the short count.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

}  // namespace dmm
