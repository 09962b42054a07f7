#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>

#include <optional>

// What the module is and how it answers, without a line: its state (NV items, transmit power,
// frequency divisor, MAC address, version) and the answer to one request frame. No threads,
// no timers, no I/O; the caller serialises access.
class ModuleModel
{
public:
    // A module as the tests expect to find it: Router, PAN ID 1A2B, short address 0001,
    // channel 15, API mode with four pins in use.
    ModuleModel();
    // Every parameter to a value other than the first state's (the MAC address and version
    // stay): coordinator, PAN ID 1234, channel 25, MODBUS mode, every pin changed, and so on.
    void changeEveryParameter();

    QByteArray nvItem(quint16 item) const;
    void setNvItem(quint16 item, const QByteArray &value);
    quint8 txPowerCode() const;
    void setTxPowerCode(quint8 code);
    quint16 frequencyDivisor() const;
    void setFrequencyDivisor(quint16 divisor);
    void setMacAddress(const QByteArray &eightBytesLowFirst);
    void setVersion(quint8 version);
    // The device-information reply for the current state (LEN 57).
    QByteArray deviceInfoReply() const;

    // Switches.
    // NV writes, transmit power and frequency are applied but not answered.
    void setUnansweredWrites(bool unanswered);
    // Writes to these items are answered as usual but change nothing.
    void setIgnoredNvItems(const QList<quint16> &items);
    // Save-and-restart restarts the module (no answer) instead of answering with a status.
    void setRestartOnSave(bool restart);
    // The module keeps the state it holds now as its saved state, and every restart returns it
    // there: the writes since are lost, as with a save that does not take. False: a restart
    // keeps the state as it is.
    void setForgetWritesAtRestart(bool forget);
    // The restart of a save-and-restart begins (the caller times it).
    void restart();

    struct Response
    {
        enum class Rssi {
            Unchanged,
            Start,
            Stop,
        };
        QByteArray reply; // empty: no answer
        bool isDeviceInfo = false;
        Rssi rssi = Rssi::Unchanged; // what the request did to the RSSI test
        bool restarts = false; // the module restarts and hears nothing for a while
        // A command for a remote node: the frame we send later when asked to (our own choice;
        // the module's own unasked frames are not documented): 41, the command code, the
        // node's address (none for the node scan).
        bool remote = false;
        QByteArray lateFrame;
    };
    // request is one intact frame.
    Response handle(QByteArrayView request);

    bool rssiTestRunning() const;
    void endRssiTest();
    // The next 8-byte report of the running RSSI test.
    QByteArray nextRssiReport();

    int restartCount() const;

private:
    Response handleSysRequest(quint8 cmd1, QByteArrayView payload);
    Response answerWrite(quint8 cmd1, quint8 status) const;

    QMap<quint16, QByteArray> m_nv;
    quint8 m_txPower = 0x35;
    quint16 m_frequencyDivisor = 800;
    QByteArray m_mac = QByteArray::fromHex("77 66 55 44 33 22 11 00");
    quint8 m_version = 0x8B;

    bool m_unansweredWrites = false;
    QList<quint16> m_ignoredItems;
    bool m_restartOnSave = false;
    struct Stored
    {
        QMap<quint16, QByteArray> nv;
        quint8 txPower = 0;
        quint16 frequencyDivisor = 0;
    };
    std::optional<Stored> m_saved; // while writes are forgotten at a restart

    bool m_rssiRunning = false;
    quint8 m_rssiSerial = 0;
    int m_restartCount = 0;
};
