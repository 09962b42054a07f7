#include "savefile.h"

#include <QFileInfo>
#include <QSaveFile>

QString saveWhole(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return QStringLiteral("not a regular file");
    // Unbuffered: QSaveFile::commit() renames even when the buffer's last flush failed (a
    // full disk, a file size limit), so every byte is written and checked here. A short
    // write is followed by one that fails with the reason.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return file.errorString();
        done += written;
    }
    return file.commit() ? QString() : file.errorString();
}
