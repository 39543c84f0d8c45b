#include "sim/demo_step_tables.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include "core/app/bench_directory.h"
#include "core/app/script_files.h"

namespace dmm::sim {

QString ProvideDemoStepTables(const QString& benchDir) {
    if (benchDir.isEmpty() || !FindFileCaseInsensitive(benchDir, kRegisterFileName).isEmpty())
        return {};
    const QString demo = FindFileCaseInsensitive(ShippedDataDirectory(), QStringLiteral("DEMO"));
    if (demo.isEmpty()) return {};
    QStringList copied;
    QStringList failed;
    for (const QString& name : QDir(demo).entryList(QDir::Files, QDir::Name)) {
        if (!FindFileCaseInsensitive(benchDir, name).isEmpty()) continue;
        // Copied whole or not at all: a copy cut short would be a table the run misreads.
        const QString target = QDir(benchDir).filePath(name);
        const QString partial = target + QStringLiteral(".part");
        QFile::remove(partial);
        if (QFile::copy(QDir(demo).filePath(name), partial) && QFile::rename(partial, target)) {
            copied << name;
        } else {
            QFile::remove(partial);
            failed << name;
        }
    }
    QString notice;
    if (!copied.isEmpty())
        notice = QStringLiteral("copied the simulated bench's demo step tables (%1) into %2")
                     .arg(copied.join(QStringLiteral(", ")), benchDir);
    if (!failed.isEmpty())
        notice += (notice.isEmpty() ? QString() : QStringLiteral("; ")) +
                  QStringLiteral("could not copy the demo step tables %1 into %2")
                      .arg(failed.join(QStringLiteral(", ")), benchDir);
    return notice;
}

}  // namespace dmm::sim
