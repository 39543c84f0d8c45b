#include "core/app/bench_directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

namespace dmm {
namespace {

bool CopyTree(const QString& from, const QString& to) {
    QDir source(from);
    if (!source.exists()) return false;
    if (!QDir().mkpath(to)) return false;
    for (const QFileInfo& entry : source.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString target = to + "/" + entry.fileName();
        if (entry.isDir()) {
            if (!CopyTree(entry.absoluteFilePath(), target)) return false;
        } else if (!QFileInfo::exists(target) && !QFile::copy(entry.absoluteFilePath(), target)) {
            return false;
        }
    }
    return true;
}

bool HoldsInclude(const QString& dir) {
    return !FindFileCaseInsensitive(dir, "INCLUDE").isEmpty() &&
           QFileInfo(FindFileCaseInsensitive(dir, "INCLUDE")).isDir();
}

}  // namespace

QString ExecutableDirectory() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    // dmmctl runs without an application object.
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return self.exists() ? QFileInfo(self.canonicalFilePath()).absolutePath() : QString();
}

QString ShippedDataDirectory() {
    return ShippedDataDirectory(ExecutableDirectory());
}

QString ShippedDataDirectory(const QString& programDir) {
    // An installed program (or a package unpacked anywhere) finds its data beside itself:
    // <prefix>/bin/../share/dmmbench.
    if (!programDir.isEmpty()) {
        const QString installed =
            QDir(programDir).absoluteFilePath(QStringLiteral("../share/dmmbench"));
        if (HoldsInclude(installed)) return QDir(installed).absolutePath();
    }
#ifdef DMM_SOURCE_DATA_DIR
    if (QFileInfo(QStringLiteral(DMM_SOURCE_DATA_DIR)).isDir())
        return QStringLiteral(DMM_SOURCE_DATA_DIR);
#endif
#ifdef DMM_INSTALL_DATA_DIR
    return QStringLiteral(DMM_INSTALL_DATA_DIR);
#else
    return {};
#endif
}

QString FindFileCaseInsensitive(const QString& folder, const QString& name) {
    QDir dir(folder);
    if (name.isEmpty() || !dir.exists()) return {};
    if (dir.exists(name)) return dir.absoluteFilePath(name);
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.absoluteFilePath(entry);
    }
    return {};
}

BenchDirectoryChoice ResolveBenchDirectory(const QString& requested, const QString& executableDir) {
    return ResolveBenchDirectory(requested, executableDir, ShippedDataDirectory());
}

BenchDirectoryChoice ResolveBenchDirectory(const QString& requested, const QString& executableDir,
                                           const QString& shippedData) {
    if (!requested.isEmpty()) {
        const QString path = QDir(requested).absolutePath();
        QString notice;
        if (!QFileInfo(path).isDir()) {
            if (QFileInfo::exists(path))
                return {{}, QStringLiteral("the bench directory %1 is not a folder").arg(path), {}};
            if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
                return {
                    {},
                    QStringLiteral("the bench directory %1 does not exist, nor its parent folder")
                        .arg(path),
                    {}};
            }
            if (!QDir().mkdir(path))
                return {{}, QStringLiteral("cannot create the bench directory %1").arg(path), {}};
            notice = QStringLiteral("created the bench directory %1").arg(path);
        }
        // A new bench directory gets the shipped chip descriptions so that it works at once.
        bool fresh = false;
        if (!HoldsInclude(path)) {
            const bool copied = CopyTree(shippedData, path);
            fresh = copied;
            notice = (notice.isEmpty() ? QString() : notice + "; ") +
                     (copied ? QStringLiteral("%1 had no INCLUDE folder: copied the shipped chip "
                                              "list and descriptions into it")
                                   .arg(path)
                             : QStringLiteral("%1 has no INCLUDE folder and the shipped chip "
                                              "descriptions could not be copied")
                                   .arg(path));
        }
        return {path, {}, notice, fresh};
    }
    if (!executableDir.isEmpty() && QFileInfo(executableDir).isWritable() &&
        HoldsInclude(executableDir)) {
        return {QDir(executableDir).absolutePath(), {}, {}};
    }
    // Named explicitly: a program that never set its application name (dmmctl) would
    // otherwise get the bare data folder and spread INCLUDE/ and result files over it.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString path = (data.isEmpty() ? QDir::homePath() + "/.local/share" : data) + "/dmmbench";
    bool fresh = false;
    if (!HoldsInclude(path)) {
        fresh = CopyTree(shippedData, path);
        if (!fresh && !QDir().mkpath(path))
            return {{}, QStringLiteral("cannot create %1").arg(path), {}};
    }
    return {QDir(path).absolutePath(), {}, {}, fresh};
}

}  // namespace dmm
