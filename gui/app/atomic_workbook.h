#pragma once

#include <QString>

#include <xlsxwriter.h>

#include <functional>

namespace dmm::gui {

// Builds an .xlsx workbook with fill() in a temporary file beside path and renames it
// over path only when the whole workbook is on disk, so a failure (no permission, full
// disk, a fill error) leaves an existing file as it was. fill returns LXW_NO_ERROR or the
// first error it met; on failure error says why.
bool WriteWorkbookAtomically(const QString& path,
                             const std::function<lxw_error(lxw_workbook*)>& fill, QString& error);

}  // namespace dmm::gui
