#include "commandframe.h"

namespace CommandFrame {

quint8 checkByte(QByteArrayView lenThroughPayload)
{
    quint8 check = 0;
    for (const char byte : lenThroughPayload)
        check ^= quint8(byte);
    return check;
}

QByteArray build(quint8 cmd0, quint8 cmd1, QByteArrayView payload)
{
    Q_ASSERT(payload.size() <= 0xFF);
    QByteArray frame;
    frame.reserve(Overhead + payload.size());
    frame.append(char(StartByte));
    frame.append(char(payload.size()));
    frame.append(char(cmd0));
    frame.append(char(cmd1));
    frame.append(payload);
    frame.append(char(checkByte(QByteArrayView(frame).sliced(1))));
    return frame;
}

bool isIntact(QByteArrayView bytes)
{
    if (bytes.size() < Overhead || quint8(bytes.at(0)) != StartByte)
        return false;
    const int len = quint8(bytes.at(1));
    if (bytes.size() < len + Overhead)
        return false;
    return checkByte(bytes.sliced(1, len + 3)) == quint8(bytes.at(len + 4));
}

} // namespace CommandFrame
