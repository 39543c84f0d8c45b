#include "gui/views/ram_workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <xlsxwriter.h>

#include <filesystem>
#include <system_error>

namespace dmm::gui {

bool WriteRamWorkbook(const QString& path, const std::vector<RamSheetCell>& cells, QString& error) {
    const QFileInfo target(path);
    const QString temporary = target.dir().filePath(
        QStringLiteral(".%1.%2.tmp")
            .arg(target.fileName())
            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    const QByteArray temporaryName = QFile::encodeName(temporary);

    lxw_workbook* workbook = workbook_new(temporaryName.constData());
    if (!workbook) {
        error = QStringLiteral("cannot create the workbook");
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, kRamSheetName);
    lxw_error status = sheet ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
    for (const RamSheetCell& cell : cells) {
        if (status != LXW_NO_ERROR) break;
        const auto row = static_cast<lxw_row_t>(cell.row - 1);
        const auto column = static_cast<lxw_col_t>(cell.column - 1);
        status = cell.isNumber ? worksheet_write_number(sheet, row, column, cell.number, nullptr)
                               : worksheet_write_string(sheet, row, column,
                                                        cell.text.toUtf8().constData(), nullptr);
    }
    // The workbook is written to disk here; it must be closed (and freed) in any case.
    const lxw_error closed = workbook_close(workbook);
    if (status == LXW_NO_ERROR) status = closed;
    if (status != LXW_NO_ERROR) {
        error = QString::fromUtf8(lxw_strerror(status));
        QFile::remove(temporary);
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temporaryName.toStdString()),
                            std::filesystem::path(QFile::encodeName(path).toStdString()), ec);
    if (ec) {
        error = QString::fromStdString(ec.message());
        QFile::remove(temporary);
        return false;
    }
    return true;
}

}  // namespace dmm::gui
