#include "modulemodel.h"

#include "commandframe.h"
#include "modulecommands.h"

namespace {

// The module keeps its own NV item numbers and reply layout instead of using the programs'
// tables: a wrong item number or offset in a program then shows as a mismatch here rather
// than agreeing with itself.
constexpr quint16 NvSleepCycle = 0x002B; // in half units, as the window writes it
constexpr quint16 NvExtPanId = 0x0047;
constexpr quint16 NvPanId = 0x0083;
constexpr quint16 NvChannelMask = 0x0084;
constexpr quint16 NvNodeType = 0x0087;
constexpr quint16 NvSendMode = 0x0403;
constexpr quint16 NvDivider = 0x0405;
constexpr quint16 NvBaudRate = 0x040B;
constexpr quint16 NvAddressMode = 0x040C;
constexpr quint16 NvSendAddressMode = 0x040D;
constexpr quint16 NvSourceOutput = 0x040E;
constexpr quint16 NvStopBits = 0x040F;
constexpr quint16 NvParity = 0x0410;
constexpr quint16 NvShortAddress = 0x0411;
constexpr quint16 NvSleepMode = 0x0412;
constexpr quint16 NvUartTimeout = 0x0413;
constexpr quint16 NvWorkTime = 0x0414;
constexpr quint16 NvIoConfig = 0x0416; // byte 0 work mode, byte n function of pin n
constexpr quint16 NvDestAddress = 0x0417;
constexpr quint16 NvAutoSendTime = 0x0418;

constexpr quint8 RemoteParameterRead = 0x19;
constexpr quint8 RemoteScanStart = 0x2C;
constexpr quint8 RemoteScanStop = 0x2D;
constexpr quint8 RemoteCommands[] = { 0x18,          0x19, 0x21, 0x23,
                                      0x24,          0x25, 0x26, RemoteScanStart,
                                      RemoteScanStop };

constexpr quint8 StatusSuccess = 0x00;
constexpr quint8 StatusFailure = 0x01;

constexpr int DeviceInfoLength = 57;
constexpr quint32 FrequencyClock = 32000000;
// Bytes of NV items never written read as erased flash.
constexpr char Erased = char(0xFF);
constexpr quint8 RssiCustomer = 0x01;

QByteArray statusReply(quint8 cmd1, quint8 status = StatusSuccess)
{
    return CommandFrame::build(ModuleCommand::SysResponse, cmd1, QByteArray(1, char(status)));
}

quint32 littleEndian(QByteArrayView bytes, int offset, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(offset + i));
    return value;
}

int channelOf(const QByteArray &mask)
{
    const quint32 bits = mask.size() >= 4 ? littleEndian(mask, 0, 4) : 0;
    for (int bit = 31; bit >= 0; --bit) {
        if (bits & (quint32(1) << bit))
            return bit;
    }
    return 0;
}

} // namespace

ModuleModel::ModuleModel()
{
    m_nv.insert(NvNodeType, QByteArray::fromHex("01")); // Router
    m_nv.insert(NvPanId, QByteArray::fromHex("2B 1A")); // 0x1A2B
    m_nv.insert(NvShortAddress, QByteArray::fromHex("01 00")); // 0x0001
    m_nv.insert(NvChannelMask, QByteArray::fromHex("00 80 00 00")); // channel 15
    m_nv.insert(NvSourceOutput, QByteArray::fromHex("01")); // no
    m_nv.insert(NvSendMode, QByteArray::fromHex("00")); // broadcast
    m_nv.insert(NvAddressMode, QByteArray::fromHex("00")); // hex
    m_nv.insert(NvSendAddressMode, QByteArray::fromHex("00")); // short address
    m_nv.insert(NvSleepCycle, QByteArray::fromHex("14")); // 10, held doubled
    m_nv.insert(NvBaudRate, QByteArray::fromHex("02")); // 38400
    m_nv.insert(NvStopBits, QByteArray::fromHex("00")); // 1
    m_nv.insert(NvParity, QByteArray::fromHex("00")); // none
    m_nv.insert(NvSleepMode, QByteArray::fromHex("00")); // automatic
    m_nv.insert(NvUartTimeout, QByteArray::fromHex("05"));
    m_nv.insert(NvWorkTime, QByteArray::fromHex("0A"));
    // API mode; IO_1 level output, IO_2 level input, IO_3 DS18B20, io_10 PWM output.
    m_nv.insert(NvIoConfig, QByteArray::fromHex("03 04 02 09 FF FF FF FF FF FF 10 FF"));
    m_nv.insert(NvDivider, QByteArray::fromHex("20")); // 32
    m_nv.insert(NvDestAddress, QByteArray::fromHex("00 00"));
    m_nv.insert(NvAutoSendTime, QByteArray::fromHex("FF FF"));
    m_nv.insert(NvExtPanId, QByteArray::fromHex("EF CD AB 89 67 45 23 01"));
}

void ModuleModel::changeEveryParameter()
{
    m_nv.insert(NvNodeType, QByteArray::fromHex("00")); // Coordinator
    m_nv.insert(NvPanId, QByteArray::fromHex("34 12"));
    m_nv.insert(NvChannelMask, QByteArray::fromHex("00 00 00 02")); // channel 25
    m_nv.insert(NvShortAddress, QByteArray::fromHex("09 00"));
    m_nv.insert(NvExtPanId, QByteArray::fromHex("11 22 33 44 55 66 77 88"));
    m_nv.insert(NvBaudRate, QByteArray::fromHex("04")); // 115200
    m_nv.insert(NvParity, QByteArray::fromHex("01")); // odd
    m_nv.insert(NvStopBits, QByteArray::fromHex("04")); // 2
    m_nv.insert(NvUartTimeout, QByteArray::fromHex("FF"));
    m_nv.insert(NvSleepMode, QByteArray::fromHex("01")); // IO-controlled
    m_nv.insert(NvSleepCycle, QByteArray::fromHex("0A")); // 5
    m_nv.insert(NvWorkTime, QByteArray::fromHex("07"));
    m_nv.insert(NvSendMode, QByteArray::fromHex("02")); // point to point
    m_nv.insert(NvAddressMode, QByteArray::fromHex("01")); // ASCII
    m_nv.insert(NvSourceOutput, QByteArray::fromHex("02")); // yes
    m_nv.insert(NvSendAddressMode, QByteArray::fromHex("01")); // long address
    m_nv.insert(NvDestAddress, QByteArray::fromHex("99 00"));
    m_nv.insert(NvAutoSendTime, QByteArray::fromHex("10 00"));
    m_nv.insert(NvDivider, QByteArray::fromHex("08"));
    // MODBUS mode, then every pin's function at its own offset.
    m_nv.insert(NvIoConfig, QByteArray::fromHex("04 00 0B 02 04 09 00 FF FF FF 02 08"));
    m_txPower = 0x15;
    m_frequencyDivisor = 1600;
}

QByteArray ModuleModel::nvItem(quint16 item) const
{
    return m_nv.value(item);
}

void ModuleModel::setNvItem(quint16 item, const QByteArray &value)
{
    m_nv.insert(item, value);
}

quint8 ModuleModel::txPowerCode() const
{
    return m_txPower;
}

void ModuleModel::setTxPowerCode(quint8 code)
{
    m_txPower = code;
}

quint16 ModuleModel::frequencyDivisor() const
{
    return m_frequencyDivisor;
}

void ModuleModel::setFrequencyDivisor(quint16 divisor)
{
    m_frequencyDivisor = divisor;
}

void ModuleModel::setMacAddress(const QByteArray &eightBytesLowFirst)
{
    m_mac = eightBytesLowFirst.leftJustified(8, '\0', true);
}

void ModuleModel::setVersion(quint8 version)
{
    m_version = version;
}

QByteArray ModuleModel::deviceInfoReply() const
{
    QByteArray payload;
    payload.reserve(DeviceInfoLength);
    const auto nv = [&](quint16 item, int offset, int width) {
        const QByteArray value = m_nv.value(item);
        for (int i = offset; i < offset + width; ++i)
            payload.append(i < value.size() ? value.at(i) : Erased);
    };
    const auto byte = [&](quint8 b) { payload.append(char(b)); };

    // Reply offsets (counted from the 0xFE) in the comments.
    nv(NvNodeType, 0, 1); // 4
    nv(NvPanId, 0, 2); // 5-6
    nv(NvShortAddress, 0, 2); // 7-8
    nv(NvChannelMask, 0, 4); // 9-12
    nv(NvSourceOutput, 0, 1); // 13
    nv(NvSendMode, 0, 1); // 14
    nv(NvAddressMode, 0, 1); // 15
    nv(NvSendAddressMode, 0, 1); // 16
    nv(NvSleepCycle, 0, 1); // 17
    byte(m_txPower); // 18
    nv(NvBaudRate, 0, 1); // 19
    payload.append(m_mac); // 20-27
    nv(NvStopBits, 0, 1); // 28
    nv(NvParity, 0, 1); // 29
    nv(NvSleepMode, 0, 1); // 30
    nv(NvUartTimeout, 0, 1); // 31
    nv(NvWorkTime, 0, 1); // 32
    byte(m_version); // 33
    nv(NvIoConfig, 0, 7); // 34 work mode, 35-40 pins 1 to 6
    nv(NvDivider, 0, 1); // 41
    byte(quint8(m_frequencyDivisor)); // 42-43
    byte(quint8(m_frequencyDivisor >> 8));
    nv(NvIoConfig, 10, 2); // 44-45 pins 10 and 11
    payload.append(3, '\0'); // 46-48 unused
    nv(NvDestAddress, 0, 2); // 49-50
    nv(NvAutoSendTime, 0, 2); // 51-52
    nv(NvExtPanId, 0, 8); // 53-60
    Q_ASSERT(payload.size() == DeviceInfoLength);
    return CommandFrame::build(ModuleCommand::SysResponse, ModuleCommand::DeviceInfoReply, payload);
}

void ModuleModel::setUnansweredWrites(bool unanswered)
{
    m_unansweredWrites = unanswered;
}

void ModuleModel::setIgnoredNvItems(const QList<quint16> &items)
{
    m_ignoredItems = items;
}

void ModuleModel::setRestartOnSave(bool restart)
{
    m_restartOnSave = restart;
}

void ModuleModel::setForgetWritesAtRestart(bool forget)
{
    if (forget)
        m_saved = Stored { m_nv, m_txPower, m_frequencyDivisor };
    else
        m_saved.reset();
}

void ModuleModel::restart()
{
    if (!m_saved)
        return;
    m_nv = m_saved->nv;
    m_txPower = m_saved->txPower;
    m_frequencyDivisor = m_saved->frequencyDivisor;
}

ModuleModel::Response ModuleModel::handle(QByteArrayView request)
{
    const quint8 cmd0 = CommandFrame::cmd0(request);
    const quint8 cmd1 = CommandFrame::cmd1(request);
    if (cmd0 == ModuleCommand::SysRequest)
        return handleSysRequest(cmd1, CommandFrame::payload(request));
    Response response;
    if (cmd0 == ModuleCommand::SysAsyncRequest && cmd1 == ModuleCommand::SaveAndRestart) {
        // The NV state is kept as it is; a restart ends the RSSI test mode.
        m_rssiRunning = false;
        response.rssi = Response::Rssi::Stop;
        if (m_restartOnSave) {
            ++m_restartCount;
            response.restarts = true;
        } else {
            response.reply = statusReply(ModuleCommand::SaveAndRestart);
        }
    }
    return response;
}

ModuleModel::Response ModuleModel::answerWrite(quint8 cmd1, quint8 status) const
{
    Response response;
    if (!m_unansweredWrites)
        response.reply = statusReply(cmd1, status);
    return response;
}

ModuleModel::Response ModuleModel::handleSysRequest(quint8 cmd1, QByteArrayView payload)
{
    switch (cmd1) {
    case ModuleCommand::ReadDeviceInfo: {
        Response response;
        response.reply = deviceInfoReply();
        response.isDeviceInfo = true;
        return response;
    }
    case ModuleCommand::NvWrite: {
        // Item (low byte first), offset, length, value.
        if (payload.size() < 4 || payload.size() < 4 + quint8(payload.at(3)))
            return answerWrite(cmd1, StatusFailure);
        const quint16 item = quint16(littleEndian(payload, 0, 2));
        const int offset = quint8(payload.at(2));
        const int length = quint8(payload.at(3));
        if (!m_ignoredItems.contains(item)) {
            QByteArray &value = m_nv[item];
            if (value.size() < offset + length)
                value.append(QByteArray(offset + length - value.size(), Erased));
            value.replace(offset, length, payload.sliced(4, length).toByteArray());
        }
        return answerWrite(cmd1, StatusSuccess);
    }
    case ModuleCommand::SetTxPower:
        if (payload.isEmpty())
            return answerWrite(cmd1, StatusFailure);
        m_txPower = quint8(payload.at(0));
        return answerWrite(cmd1, StatusSuccess);
    case ModuleCommand::SetFrequency: {
        if (payload.size() < 4)
            return answerWrite(cmd1, StatusFailure);
        // The module keeps the divisor N = 32 MHz / f; below 489 Hz only its low 16 bits fit.
        const quint32 frequency = littleEndian(payload, 0, 4);
        if (frequency != 0)
            m_frequencyDivisor = quint16(FrequencyClock / frequency);
        return answerWrite(cmd1, StatusSuccess);
    }
    case ModuleCommand::StartRssiTest:
    case ModuleCommand::StopRssiTest: {
        m_rssiRunning = cmd1 == ModuleCommand::StartRssiTest;
        Response response;
        response.reply = statusReply(cmd1);
        response.rssi = m_rssiRunning ? Response::Rssi::Start : Response::Rssi::Stop;
        return response;
    }
    default:
        break;
    }

    Response response;
    for (const quint8 remote : RemoteCommands) {
        if (cmd1 != remote)
            continue;
        response.remote = true;
        const bool addressed = cmd1 != RemoteScanStart && cmd1 != RemoteScanStop;
        response.lateFrame = CommandFrame::build(
                ModuleCommand::SysAsyncRequest, cmd1,
                addressed ? payload.first(qMin(qsizetype(2), payload.size())) : QByteArrayView());
        // Parameter read: destination (2), item (low byte first), offset. The answer carries
        // status, item, offset and the item's bytes from that offset on.
        if (cmd1 == RemoteParameterRead && payload.size() >= 5) {
            const quint16 item = quint16(littleEndian(payload, 2, 2));
            const int offset = quint8(payload.at(4));
            QByteArray answer(1, char(StatusSuccess));
            answer.append(payload.sliced(2, 3));
            answer.append(m_nv.value(item).mid(offset).left(0xFF - answer.size()));
            response.reply = CommandFrame::build(ModuleCommand::SysResponse, cmd1, answer);
        } else {
            response.reply = statusReply(cmd1);
        }
        break;
    }
    return response;
}

bool ModuleModel::rssiTestRunning() const
{
    return m_rssiRunning;
}

void ModuleModel::endRssiTest()
{
    m_rssiRunning = false;
}

QByteArray ModuleModel::nextRssiReport()
{
    // Version, customer, channel, PAN ID (high byte first, so a log shows it as typed), serial
    // number, Tx RSSI, Rx RSSI (signed).
    const QByteArray pan = m_nv.value(NvPanId).leftJustified(2, Erased);
    QByteArray report(8, '\0');
    report[0] = char(m_version);
    report[1] = char(RssiCustomer);
    report[2] = char(channelOf(m_nv.value(NvChannelMask)));
    report[3] = pan.at(1);
    report[4] = pan.at(0);
    report[5] = char(m_rssiSerial);
    report[6] = char(qint8(-46 - m_rssiSerial % 5));
    report[7] = char(qint8(-55 + m_rssiSerial % 3));
    ++m_rssiSerial;
    return report;
}

int ModuleModel::restartCount() const
{
    return m_restartCount;
}
