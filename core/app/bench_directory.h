#pragma once

#include <QString>

namespace dmm {

// The bench directory holds what the program reads and writes besides the chip: the
// settings file, step tables, INCLUDE/ with the chip descriptions, and result files.
//
// Chosen as: the --dir argument when given; else the executable's directory when it is
// writable and holds INCLUDE/; else a per-user data directory, filled on first use with
// a copy of the shipped data (the chip list and descriptions).
// A --dir that does not exist is made when its parent folder exists (a typo deep in a
// path must not silently create a whole tree); a bench directory without INCLUDE/ is
// filled with the shipped data, and notice says so.
struct BenchDirectoryChoice {
    QString path;    // absolute, without trailing separator
    QString error;   // empty on success
    QString notice;  // what was done to the directory, for the user; empty when nothing
    bool filled = false;  // the shipped data was copied into it just now (a fresh directory)
};

BenchDirectoryChoice ResolveBenchDirectory(const QString& requested, const QString& executableDir);
// The same with the shipped data taken from shippedData (a program whose data is not
// beside its executable: the Python module, loaded by the interpreter).
BenchDirectoryChoice ResolveBenchDirectory(const QString& requested, const QString& executableDir,
                                           const QString& shippedData);

// Where the shipped data/ folder lives: share/dmmbench beside an installed program, the
// source tree for a build, or the configured install prefix.
QString ShippedDataDirectory();
// The same for a program in programDir of an install prefix (bin/, or lib/ for the Python
// module): programDir/../share/dmmbench when it holds the data, else as above.
QString ShippedDataDirectory(const QString& programDir);
// The folder of the running program.
QString ExecutableDirectory();

// Joins the bench directory and a file name found in a file (chip list tokens are
// upper-cased): an existing entry of the folder that matches case-insensitively wins.
QString FindFileCaseInsensitive(const QString& folder, const QString& name);

}  // namespace dmm
