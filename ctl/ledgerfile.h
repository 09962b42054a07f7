#pragma once

#include "ledger.h"

#include <QLockFile>
#include <QString>

// A station's ledger file: locked (FILE.lock beside it) for as long as the station runs, read
// once, and replaced whole after every change, so that a killed station leaves it as it was
// before or after that change. A lock whose process is gone does not hold.
class LedgerFile
{
public:
    explicit LedgerFile(const QString &path);

    // Takes the lock and reads the file; a missing file is an empty ledger. False and the
    // reason when another process holds the lock or the file cannot be read.
    bool open(QString *error);
    Ledger &ledger() { return m_ledger; }
    QString path() const { return m_path; }
    // Empty on success, otherwise the reason; the file is then as it was.
    QString save() const;

private:
    QString m_path;
    QLockFile m_lock;
    Ledger m_ledger;
};
