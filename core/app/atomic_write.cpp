#include "core/app/atomic_write.h"

#include <QSaveFile>

namespace dmm {

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
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
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace dmm
