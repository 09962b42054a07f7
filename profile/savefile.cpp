#include "savefile.h"

#include "systemtext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

namespace {

struct Text
{
    Q_DECLARE_TR_FUNCTIONS(SaveFile)
};

} // namespace

QString saveWhole(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return Text::tr("not a regular file");
    // Unbuffered: QSaveFile::commit() renames even when the buffer's last flush failed (a
    // full disk, a file size limit), so every byte is written and checked here. A short
    // write is followed by one that fails with the reason.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return systemText(file.errorString());
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return systemText(file.errorString());
        done += written;
    }
    return file.commit() ? QString() : systemText(file.errorString());
}
