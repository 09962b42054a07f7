#include "modulecommands.h"

#include "commandframe.h"

namespace ModuleCommand {

namespace {

// An intact frame at the start of bytes, or nothing.
QByteArrayView leadingFrame(QByteArrayView bytes)
{
    const CommandFrame::Reading reading = CommandFrame::read(bytes);
    if (reading.status != CommandFrame::Reading::Complete || !reading.intact)
        return {};
    return bytes.first(reading.length);
}

bool isNvWrite(QByteArrayView frame)
{
    // Item (two bytes) and offset lead the payload.
    return CommandFrame::cmd0(frame) == SysRequest && CommandFrame::cmd1(frame) == NvWrite
            && CommandFrame::payload(frame).size() >= 3;
}

bool isOwnCommand(QByteArrayView frame)
{
    const quint8 cmd0 = CommandFrame::cmd0(frame);
    const quint8 cmd1 = CommandFrame::cmd1(frame);
    if (cmd0 == SysAsyncRequest)
        return cmd1 == SaveAndRestart;
    return cmd0 == SysRequest
            && (cmd1 == SetTxPower || cmd1 == SetFrequency || cmd1 == ReadDeviceInfo
                || cmd1 == StartRssiTest || cmd1 == StopRssiTest);
}

} // namespace

QByteArray readDeviceInfoFrame()
{
    return CommandFrame::build(SysRequest, ReadDeviceInfo);
}

QByteArray startRssiTestFrame()
{
    return CommandFrame::build(SysRequest, StartRssiTest);
}

QByteArray stopRssiTestFrame()
{
    return CommandFrame::build(SysRequest, StopRssiTest);
}

QByteArray saveAndRestartFrame()
{
    return CommandFrame::build(SysAsyncRequest, SaveAndRestart, QByteArray(1, '\0'));
}

QByteArray clearNetworkFrame()
{
    return nvWriteFrame(ClearNetworkItem, 0, QByteArray(1, '\x02'));
}

QByteArray nvWriteFrame(quint16 item, quint8 offset, QByteArrayView value)
{
    QByteArray payload;
    payload.reserve(4 + value.size());
    payload.append(char(item & 0xFF));
    payload.append(char(item >> 8));
    payload.append(char(offset));
    payload.append(char(value.size()));
    payload.append(value);
    return CommandFrame::build(SysRequest, NvWrite, payload);
}

bool isAnswerTo(QByteArrayView request, QByteArrayView reply)
{
    if (CommandFrame::cmd0(request) != SysRequest || CommandFrame::cmd0(reply) != SysResponse)
        return false;
    const quint8 asked = CommandFrame::cmd1(request);
    return CommandFrame::cmd1(reply) == (asked == ReadDeviceInfo ? DeviceInfoReply : asked);
}

bool sameTarget(QByteArrayView a, QByteArrayView b)
{
    const QByteArrayView first = leadingFrame(a);
    const QByteArrayView second = leadingFrame(b);
    if (first.isEmpty() || second.isEmpty())
        return a == b;
    if (isNvWrite(first) && isNvWrite(second))
        return CommandFrame::payload(first).first(3) == CommandFrame::payload(second).first(3);
    if (isOwnCommand(first) && isOwnCommand(second))
        return CommandFrame::cmd0(first) == CommandFrame::cmd0(second)
                && CommandFrame::cmd1(first) == CommandFrame::cmd1(second);
    return a == b;
}

} // namespace ModuleCommand
