#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace dmm {

// Writes bytes to path through a temporary file in the same folder that replaces path
// only once everything is on disk; on failure path is left as it was and error says why.
//
// QSaveFile alone is not enough: with its write buffer, Qt 6.4 reports success for a file
// cut short by a full disk (a partial write followed by an error is taken as done), and
// then renames the truncated file into place. Unbuffered writes show the short count.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

// Several files that belong together, all or none: each goes to its temporary file, and
// only when every one is complete are they renamed into place, in order. On failure
// failedIndex names the file that could not be written and error says why; no file was
// replaced unless the failure was a rename (the files before it are then in place).
using FileContents = std::vector<std::pair<QString, QByteArray>>;
bool WriteFilesAtomically(const FileContents& files, int& failedIndex, QString& error);

}  // namespace dmm
