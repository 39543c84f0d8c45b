#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "core/chip/chip_model.h"

namespace dmm {

class ChipAccess;

// Finding and reading the chip list and description files of a bench directory.
// Thread: the bench thread (or the CLI's/test's own thread), like the model it fills.

// The INCLUDE folder of a bench directory, matched case-insensitively; the plain
// "INCLUDE" path when the folder does not exist.
QString IncludeDirectory(const QString& benchDir);

// The whole content of a file, or nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const QString& path);

// The chip selector's texts: the chip list's chips, or the fallback texts when the list
// file is missing (then fromFile is false and nothing can be loaded).
struct ChipSelector {
    std::vector<std::string> texts;
    bool fromFile = false;
};
ChipSelector FillChipSelector(const QString& includeDir);

// Loads the description file at path into model (see ReadChipDescription).
// False when the file cannot be read; the model is then unchanged.
bool LoadChipDescriptionFile(const QString& path, TChipModel& model);

// Loads the description of the chip selected in the target record (the setup channel
// argument has no further effect): 1 on success, 0 when the chip list, its line for the
// chip or the description file is missing. A failed load leaves the model as it was.
// A successful one makes the product title the chip title the frames are built for.
int GetSELUP(const QString& includeDir, TChipModel& model, ChipAccess& access, int channel = 0);

}  // namespace dmm
