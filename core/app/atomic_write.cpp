#include "core/app/atomic_write.h"

#include <QSaveFile>

#include <memory>

namespace dmm {
namespace {

// Opens and fills the temporary file; commit() then renames it into place.
bool Prepare(QSaveFile& file, const QByteArray& bytes, QString& error) {
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = file.errorString();
        return false;
    }
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) break;
        done += n;
    }
    if (done != bytes.size()) {
        // A short write without an error code is what a full disk looks like here.
        error = file.error() != QFileDevice::NoError ? file.errorString()
                                                     : QStringLiteral("the disk is full");
        file.cancelWriting();
        return false;
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!Prepare(file, bytes, error)) return false;
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool WriteFilesAtomically(const FileContents& files, int& failedIndex, QString& error) {
    std::vector<std::unique_ptr<QSaveFile>> prepared;
    for (const auto& [path, bytes] : files) {
        prepared.push_back(std::make_unique<QSaveFile>(path));
        if (!Prepare(*prepared.back(), bytes, error)) {
            failedIndex = static_cast<int>(prepared.size()) - 1;
            for (auto& file : prepared) file->cancelWriting();
            return false;
        }
    }
    for (size_t i = 0; i < prepared.size(); ++i) {
        if (!prepared[i]->commit()) {
            failedIndex = static_cast<int>(i);
            error = prepared[i]->errorString();
            for (size_t j = i + 1; j < prepared.size(); ++j) prepared[j]->cancelWriting();
            return false;
        }
    }
    return true;
}

}  // namespace dmm
