#pragma once

#include "deviceinforead.h"
#include "mythread.h"
#include "portwatcher.h"
#include "profileimport.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
class QComboBox;
class QDialog;
class QLineEdit;
namespace Ui {
class Widget;
}
QT_END_NAMESPACE

// The node configuration window: reads the attached module's parameters in one request and
// writes each edited parameter straight back as a command frame.
class Widget : public QWidget
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    MyThread &serialWorker() { return worker; }
    bool isUpdatingFields() const { return fieldsUpdating; }

    // Reset every parameter widget to its empty state; not a slot.
    void clearDeviceFields();

    // Asks for the file to export to or import from, given a suggested path; an empty answer
    // cancels. File dialogs unless tests put their own in.
    using FileChooser = std::function<QString(QWidget *parent, const QString &suggested)>;
    void setProfileFileChoosers(FileChooser save, FileChooser open);
    // The reply-end rule of the export's and the import's own exchanges, made afresh for each
    // of them: the frame rule (ModuleReplyEnd) unless benchmarks put another beside it (null:
    // the worker's own 300 ms rule).
    using ReplyEndMaker = std::function<std::shared_ptr<const ReplyEndRule>()>;
    void setProfileReplyEnd(ReplyEndMaker make);

    // Pin slots: called with the new item text at every index change of their list.
    // (Connected by connectPinForwarders; Qt 6 has no text variant of currentIndexChanged.)
    void on_IO_1_currentIndexChanged(const QString &arg1);
    void on_IO_2_currentIndexChanged(const QString &arg1);
    void on_IO_3_currentIndexChanged(const QString &arg1);
    void on_IO_4_currentIndexChanged(const QString &arg1);
    void on_IO_5_currentIndexChanged(const QString &arg1);
    void on_IO_6_currentIndexChanged(const QString &arg1);
    void on_io_10_currentIndexChanged(const QString &arg1);
    void on_io_11_currentIndexChanged(const QString &arg1);
    void IO_Config(unsigned char port, const QString &arg1);

public Q_SLOTS:
    void SendReadDeviceCMD();
    void CleanDeviceInfo();
    void checkRxData();
    void displayRxData();
    void isComOpen(bool success);
    void RssiTest_resettimeout();

private Q_SLOTS:
    // Port row (page 0 and the test page).
    void on_fresh_Button_clicked();
    void on_fresh_Button_2_clicked();
    void on_openCom_Button_clicked();
    void on_openCom_Button_2_clicked();
    void on_serialPortComboBox_currentIndexChanged(int index);
    void on_serialPortComboBox_2_currentIndexChanged(int index);
    void showOpenFailure(const QString &reason);
    void comLost(const QString &reason);

    // Device information and fixed commands.
    void on_readDeviceInfo_clicked();
    void on_cleanDeviceInfo_clicked();
    void on_pushButton_clicked();

    // Parameter writes.
    void on_NodeType_currentIndexChanged(int index);
    void on_channel_currentIndexChanged(int index);
    void on_NetId_editingFinished();
    void on_SendMode_currentIndexChanged(int index);
    void on_AddrMode_currentIndexChanged(int index);
    void on_baudRateBox_currentIndexChanged(int index);
    void on_ShortAddr_editingFinished();
    void on_OutPut_currentIndexChanged(int index);
    void on_stopBitsBox_currentIndexChanged(int index);
    void on_ParityBox_currentIndexChanged(int index);
    void on_sleepMode_currentIndexChanged(int index);
    void on_SlpCycle_editingFinished();
    void on_UartTimeout_editingFinished();
    void on_workTimeOut_editingFinished();
    void on_SendAddrMode_currentIndexChanged(int index);
    void on_MACAddr_editingFinished();
    void on_TxPower_editingFinished();
    void on_WorkMode_currentIndexChanged(int index);
    void on_DesAddr_editingFinished();
    void on_AutoSendTimeOut_editingFinished();
    void on_Divider_editingFinished();
    void on_Frequency_editingFinished();
    void on_ExtPanID_editingFinished();

    // Enabling by page.
    void on_tabWidget_currentChanged(int index);

    // Test page.
    void on_startRssiTest_clicked();
    void on_stopRssiTest_clicked();
    void on_sendDate_clicked();

    void on_digi_api_build_button_clicked();

    // Profiles of the module's configuration.
    void on_exportProfile_clicked();
    void on_importProfile_clicked();

private:
    // Hands the frame to the worker as one transmission.
    void placeFrame(const QByteArray &frame);
    // As placeFrame, with the clear-network frame behind it in the same transmission.
    void placeFrameThenClearNetwork(const QByteArray &frame);
    // Work-mode rule: page 1 by mode, then the pin groups.
    void applyWorkModeEnabling(int index);
    // Counter step of an accepted device-information reply.
    void advanceReadSuccessCount();
    // The parameter setters, bound to their widgets by the tables in widget_parameters.cpp:
    // nothing while fieldsUpdating, else the widget's write is placed.
    void writeList(QComboBox *list, int index);
    void writeText(QLineEdit *edit);
    void placeWrite(const QByteArray &frame, bool clearsNetwork, const char *debugLine);
    void connectPinForwarders();
    // The lists (pins included) and text fields the setter tables bind, for the reset.
    QList<QComboBox *> parameterLists() const;
    QList<QLineEdit *> parameterEdits() const;
    void fillOptionLists();
    // Validators of the decimal parameter fields, installed once by the constructor.
    void installDecimalValidators();
    // Fills both port lists again, keeping what they show where they can (see refillChoice).
    void scanPorts(bool describe);
    void showPortTips();
    void toggleConnection();

    enum class Tone { Fault, Busy, Done };
    // The status label beside the read counter: what went wrong, or how a profile task went.
    void showStatus(const QString &text, Tone tone, const QString &toolTip = QString());
    void exportReadFinished(const QByteArray &reply);
    void saveProfile(const QByteArray &reply);
    void reviewImport();
    void importProgress(const QString &nextKey);
    void importVerified(const QStringList &notTaken);
    void importUnanswered(ProfileImport::Stage stage);
    // The setters' widgets and the buttons that send are unusable while an import runs, so
    // that no frame of theirs goes out between its writes; the port row stays usable.
    void setImportRunning(bool running);
    // The import is over: nothing more of it is submitted, the widgets are usable again.
    void endImport();
    // Ends an export or import when the port closes; says how far an import got.
    QString endProfileTasks();

    Ui::Widget *ui;
    MyThread worker;
    PortWatcher portWatcher;
    QByteArray counterText;
    QTimer rssiStopTimer;
    qint8 decodedChannel = 0;
    quint8 readSuccessCount = 0;
    bool fieldsUpdating = false;

    DeviceInfoRead exportRead;
    std::unique_ptr<ProfileImport> import;
    // While the file of an import is being chosen; cleared when the port closes meanwhile.
    bool importFileChooserOpen = false;
    QPointer<QDialog> importReview;
    FileChooser chooseExportFile;
    FileChooser chooseImportFile;
    ReplyEndMaker profileReplyEnd;
};
