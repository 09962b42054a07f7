#pragma once

#include "mythread.h"
#include "portwatcher.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTimer>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QComboBox;
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

    Ui::Widget *ui;
    MyThread worker;
    PortWatcher portWatcher;
    QByteArray counterText;
    QTimer rssiStopTimer;
    qint8 decodedChannel = 0;
    quint8 readSuccessCount = 0;
    bool fieldsUpdating = false;
};
