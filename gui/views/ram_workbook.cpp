#include "gui/views/ram_workbook.h"

#include "gui/app/atomic_workbook.h"

namespace dmm::gui {

bool WriteRamWorkbook(const QString& path, const std::vector<RamSheetCell>& cells, QString& error) {
    return WriteWorkbookAtomically(
        path,
        [&cells](lxw_workbook* workbook) {
            lxw_worksheet* sheet = workbook_add_worksheet(workbook, kRamSheetName);
            if (!sheet) return LXW_ERROR_MEMORY_MALLOC_FAILED;
            for (const RamSheetCell& cell : cells) {
                const auto row = static_cast<lxw_row_t>(cell.row - 1);
                const auto column = static_cast<lxw_col_t>(cell.column - 1);
                const lxw_error status =
                    cell.isNumber ? worksheet_write_number(sheet, row, column, cell.number, nullptr)
                                  : worksheet_write_string(sheet, row, column,
                                                           cell.text.toUtf8().constData(), nullptr);
                if (status != LXW_NO_ERROR) return status;
            }
            return LXW_NO_ERROR;
        },
        error);
}

}  // namespace dmm::gui
