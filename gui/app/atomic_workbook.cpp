#include "gui/app/atomic_workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

namespace dmm::gui {

bool WriteWorkbookAtomically(const QString& path,
                             const std::function<lxw_error(lxw_workbook*)>& fill, QString& error) {
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
    lxw_error status = fill(workbook);
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
