#pragma once

#include <QString>

#include <vector>

#include "core/views/ram_sheet.h"

namespace dmm::gui {

// Writes the RAM worksheet as an .xlsx workbook with one sheet, "USER Data". The workbook
// is built in a temporary file beside path and renamed over it only when complete, so a
// failure (no permission, full disk) leaves an existing file as it was.
bool WriteRamWorkbook(const QString& path, const std::vector<RamSheetCell>& cells, QString& error);

}  // namespace dmm::gui
