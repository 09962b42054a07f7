#pragma once

#include <QDebug>
#include <QFile>
#include <QSerialPort>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// A port name whose open fails: a path that does not exist, a file without permission, or a
// port another program holds.
class FailingPort
{
public:
    // The kinds, as rows of the column "kind".
    static void addRows()
    {
        QTest::addColumn<QString>("kind");

        QTest::newRow("path that does not exist") << QStringLiteral("missing");
        // A file with mode 000: a user gets a permission error; root, who may open it anyway,
        // gets "not a terminal". Either way the open fails with a reason.
        QTest::newRow("no permission (root: not a terminal)") << QStringLiteral("permission");
        QTest::newRow("port held by another program") << QStringLiteral("held");
    }

    // Sets up a port of that kind; "held" holds the port at portPath. False when that fails.
    [[nodiscard]] bool make(const QString &kind, const QString &portPath)
    {
        if (!m_dir.isValid())
            return false;
        if (kind == QLatin1String("missing")) {
            m_path = m_dir.filePath(QStringLiteral("no-such-port"));
            return true;
        }
        if (kind == QLatin1String("permission")) {
            m_path = m_dir.filePath(QStringLiteral("ttyLocked"));
            QFile file(m_path);
            if (!file.open(QIODevice::WriteOnly))
                return false;
            file.close();
            return file.setPermissions(QFileDevice::Permissions());
        }
        m_path = portPath;
        m_holder.setPortName(portPath);
        if (!m_holder.open(QIODevice::ReadWrite)) {
            qWarning() << "cannot hold" << portPath << m_holder.errorString();
            return false;
        }
        return true;
    }
    QString path() const { return m_path; }
    // Lets go of a held port.
    void release() { m_holder.close(); }

private:
    QTemporaryDir m_dir;
    QSerialPort m_holder;
    QString m_path;
};

// Another program can open the port: it is closed and its lock released.
[[nodiscard]] inline bool canOpen(const QString &path)
{
    QSerialPort port;
    port.setPortName(path);
    if (!port.open(QIODevice::ReadWrite)) {
        qWarning() << "cannot open" << path << port.errorString();
        return false;
    }
    port.close();
    return true;
}
