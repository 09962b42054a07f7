#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTextBrowser>
#include <QWidget>

#include <memory>

// Works a window as a person would: its widgets by object name, the port row and the log of
// received data. The window tests and the benchmarks share it.
class WindowDriver
{
public:
    // What the open button offers: the close while the port is open, the open while closed.
    static inline const QString Open = QStringLiteral("关闭串口");
    static inline const QString Closed = QStringLiteral("打开串口");

    virtual ~WindowDriver() = default;

    template<typename T = QWidget>
    T *child(const QString &name) const
    {
        T *widget = driven()->findChild<T *>(name);
        if (!widget)
            qWarning() << "no widget" << name;
        return widget;
    }

    QString buttonText() const
    {
        return child<QPushButton>(QStringLiteral("openCom_Button"))->text();
    }
    // Why the port is not open, next to the port row; empty while nothing went wrong.
    QString status() const { return child<QLabel>(QStringLiteral("portStatus"))->text(); }

    // Types path into the port box key by key; false unless the box takes it and shows it.
    [[nodiscard]] bool typePortName(const QString &path) const
    {
        auto *box = child<QComboBox>(QStringLiteral("serialPortComboBox"));
        if (!box || !box->isEnabled() || !box->lineEdit()) {
            qWarning() << "the port box takes no name";
            return false;
        }
        box->clearEditText();
        QTest::keyClicks(box->lineEdit(), path);
        if (box->currentText() != path) {
            qWarning() << "the port box shows" << box->currentText();
            return false;
        }
        return true;
    }
    void clickOpenButton() const
    {
        QTest::mouseClick(child<QPushButton>(QStringLiteral("openCom_Button")), Qt::LeftButton);
    }
    // Types path, clicks the open button and waits up to five seconds for the port to open.
    [[nodiscard]] bool openPort(const QString &path) const
    {
        if (!typePortName(path))
            return false;
        clickOpenButton();
        return QTest::qWaitFor([this] { return buttonText() == Open; });
    }

    QTextBrowser *log() const { return child<QTextBrowser>(QStringLiteral("RssiTestDisplay")); }
    QStringList logLines() const
    {
        const QString text = log()->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }
    // Every byte the log stands for; a line that stands for none adds "?".
    QByteArray loggedBytes() const
    {
        QByteArray all;
        const QStringList lines = logLines();
        for (const QString &line : lines) {
            QByteArray bytes;
            const bool read = reportsInLog ? lineBytes(line, bytes) : dumpBytes(line, bytes);
            all += read ? bytes : QByteArray("?");
        }
        return all;
    }

    // "hh:mm:ss 收到数据: 0A 0B " back into its bytes; false for any other line.
    static bool dumpBytes(const QString &line, QByteArray &bytes)
    {
        static const QRegularExpression dump(
                QStringLiteral("^\\d\\d:\\d\\d:\\d\\d 收到数据: ((?:[0-9A-F]{2} )*)$"));
        const QRegularExpressionMatch match = dump.match(line);
        if (!match.hasMatch())
            return false;
        bytes = QByteArray::fromHex(match.captured(1).toLatin1());
        return true;
    }
    // A dump, or the node window's RSSI report of an 8-byte delivery: the fields in hex, the
    // two RSSI bytes (offsets 6 and 7) plus one as signed decimals.
    static bool lineBytes(const QString &line, QByteArray &bytes)
    {
        if (dumpBytes(line, bytes))
            return true;
        static const QRegularExpression report(
                QStringLiteral("^\\d\\d:\\d\\d:\\d\\d软件版本：([0-9A-F]{2})  客户：([0-9A-F]{2})  "
                               "频点：([0-9A-F]{2})  PAN ID：([0-9A-F]{4})  序列号：([0-9A-F]{2})  "
                               "TxRSSI：(-?\\d+)  RxRSSI：(-?\\d+)$"));
        const QRegularExpressionMatch match = report.match(line);
        if (!match.hasMatch())
            return false;
        QString hex;
        for (int field = 1; field <= 5; ++field)
            hex += match.captured(field);
        bytes = QByteArray::fromHex(hex.toLatin1());
        bytes.append(char(match.captured(6).toInt() - 1));
        bytes.append(char(match.captured(7).toInt() - 1));
        return true;
    }

protected:
    virtual QWidget *driven() const = 0;

    // The node window logs an 8-byte delivery as an RSSI report, the remote window as a dump.
    bool reportsInLog = true;
};

// The window of a test class, made afresh for each test.
template<typename W>
class WindowTest : public WindowDriver
{
protected:
    // A by-name connection the window cannot make fails the test.
    void makeWindow()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("connectSlotsByName")));
        window = std::make_unique<W>();
    }
    [[nodiscard]] bool showWindow()
    {
        makeWindow();
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    QWidget *driven() const override { return window.get(); }

    std::unique_ptr<W> window;
};
