#pragma once

#include "mythread.h"
#include "portwatcher.h"

#include <QByteArray>
#include <QString>
#include <QTextCursor>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <functional>

QT_BEGIN_NAMESPACE
namespace Ui {
class Widget;
}
QT_END_NAMESPACE

namespace RemoteFrame {
struct Selection;
}

// The remote configuration window: composes a remote command from the input row as hex
// text, sends the last composed frame to the attached module and logs what comes back.
class Widget : public QWidget
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    MyThread &serialWorker() { return worker; }
    // The frame of the most recent successful build: what the send button hands over.
    const QByteArray &builtFrameBytes() const { return frameBytes; }

    // New log lines wait this long before they are laid out and painted, all at once: ten
    // repaints a second keep a stream cheap and still look live.
    static constexpr int LogRepaintMs = 100;
    // Lays out the log lines taken since the last repaint now; otherwise the next repaint
    // does, at most LogRepaintMs after the first of them.
    void flushLog();

    // Writes the log as UTF-8 text, a line break after each line. A file that cannot be
    // written gives false and the reason beside the button; the log stays as it is.
    bool saveLog(const QString &path);
    // Asks where to save the log, given a suggested path; an empty answer cancels. A file
    // dialog unless tests put their own in.
    using SaveLogDialog = std::function<QString(QWidget *parent, const QString &suggested)>;
    void setSaveLogDialog(SaveLogDialog dialog) { saveLogDialog = std::move(dialog); }

    // Called with the item text at every index change of their list (empty when the list
    // was emptied). Qt 6 has no text variant of currentIndexChanged, so the constructor
    // connects them. Filling or clearing a list from inside one runs the next one nested.
    void on_NVID_IO_currentIndexChanged(const QString &arg1);
    void on_Type_IOport_currentIndexChanged(const QString &arg1);

public Q_SLOTS:
    void fillPortsParameters();
    void displayRxData();
    void isComOpen(bool success);

Q_SIGNALS:
    void baudrate(int index);

private Q_SLOTS:
    void on_fresh_Button_clicked();
    void on_openCom_Button_clicked();
    void on_baudRateBox_currentIndexChanged(int index);
    void on_CMD_type_currentIndexChanged(int index);
    void on_build_clicked();
    void on_sendDate_clicked();
    void on_lineEdit_textChanged(const QString &arg1);
    void on_clean_clicked();
    void on_saveLog_clicked();
    void showOpenFailure(const QString &reason);
    void comLost(const QString &reason);

private:
    // Fills the port list again, keeping what it shows where it can (see refillChoice).
    void refreshPorts(bool describe);
    void showPortTip();
    void resetValueInputs();
    RemoteFrame::Selection currentSelection() const;
    // The time of day now, to the second.
    QTime logTime();

    Ui::Widget *ui;
    MyThread worker;
    PortWatcher portWatcher;
    // Always the text of the frame line.
    QString frameText;
    QByteArray frameBytes;
    // Between two repaints of the log its document stays inside one edit block.
    QTextCursor logEditBlock;
    bool logHeld = false;
    QTimer logRepaint;
    qint64 logSecond = -1;
    QTime logSecondTime;
    SaveLogDialog saveLogDialog;
};
