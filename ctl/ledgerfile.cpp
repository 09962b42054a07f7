#include "ledgerfile.h"

#include "savefile.h"

#include <QFileInfo>

LedgerFile::LedgerFile(const QString &path)
    : m_path(path)
    , m_lock(path + QStringLiteral(".lock"))
{
    // A watching station holds it for hours: only a lock whose process is gone is stale, also
    // where the file system keeps no native lock on the file.
    m_lock.setStaleLockTime(0);
}

bool LedgerFile::open(QString *error)
{
    if (!m_lock.tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString program;
        if (m_lock.error() == QLockFile::LockFailedError
            && m_lock.getLockInfo(&pid, &host, &program))
            *error = QStringLiteral("in use by process %1%2, which holds %3")
                             .arg(pid)
                             .arg(program.isEmpty() ? QString()
                                                    : QStringLiteral(" (%1)").arg(program),
                                  m_path + QStringLiteral(".lock"));
        else
            *error = QStringLiteral("cannot lock it: %1.lock cannot be made").arg(m_path);
        return false;
    }
    if (!QFileInfo::exists(m_path) && !QFileInfo(m_path).isSymLink()) {
        m_ledger = Ledger();
        return true;
    }
    const auto read = Ledger::load(m_path, error);
    if (read)
        m_ledger = *read;
    return read.has_value();
}

QString LedgerFile::save() const
{
    return saveWhole(m_path, m_ledger.toCsv());
}
