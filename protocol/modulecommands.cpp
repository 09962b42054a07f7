#include "modulecommands.h"

#include "commandframe.h"

namespace ModuleCommand {

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

} // namespace ModuleCommand
