#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the debug lines printed while it lives.
class DebugCapture
{
public:
    DebugCapture()
    {
        current() = &lines;
        m_previous = qInstallMessageHandler(capture);
    }
    ~DebugCapture()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    QStringList lines;

private:
    static QStringList *&current()
    {
        static QStringList *lines = nullptr;
        return lines;
    }
    static void capture(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type == QtDebugMsg && current())
            current()->append(message);
    }

    QtMessageHandler m_previous = nullptr;
};
