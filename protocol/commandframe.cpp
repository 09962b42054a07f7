#include "commandframe.h"

#include "hextext.h"

namespace CommandFrame {

namespace {

constexpr int HeaderSize = 4; // FE, LEN, CMD0, CMD1

bool startsIntactFrame(QByteArrayView bytes)
{
    const Reading reading = read(bytes);
    return reading.status == Reading::Complete && reading.intact;
}

} // namespace

quint8 checkByte(QByteArrayView lenThroughPayload)
{
    quint8 check = 0;
    for (const char byte : lenThroughPayload)
        check ^= quint8(byte);
    return check;
}

QByteArray build(quint8 cmd0, quint8 cmd1, QByteArrayView payload)
{
    Q_ASSERT(payload.size() <= MaxPayload);
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

Reading read(QByteArrayView bytes)
{
    if (bytes.isEmpty() || quint8(bytes.at(0)) != StartByte)
        return {};
    if (bytes.size() < 2)
        return { Reading::NeedMore, 0, false };
    const qsizetype length = quint8(bytes.at(1)) + Overhead;
    if (bytes.size() < length)
        return { Reading::NeedMore, 0, false };
    const bool intact = checkByte(bytes.sliced(1, length - 2)) == quint8(bytes.at(length - 1));
    return { Reading::Complete, length, intact };
}

bool isIntact(QByteArrayView bytes)
{
    return startsIntactFrame(bytes);
}

bool isSingleFrame(QByteArrayView bytes)
{
    const Reading reading = read(bytes);
    return reading.status == Reading::Complete && reading.intact && reading.length == bytes.size();
}

quint8 cmd0(QByteArrayView frame)
{
    return quint8(frame.at(2));
}

quint8 cmd1(QByteArrayView frame)
{
    return quint8(frame.at(3));
}

QByteArrayView payload(QByteArrayView frame)
{
    return frame.sliced(HeaderSize, quint8(frame.at(1)));
}

QList<Segment> segments(QByteArrayView received)
{
    QList<Segment> result;
    const auto add = [&](Segment::Kind kind, qsizetype from, qsizetype to) {
        if (to > from)
            result.append({ kind, received.sliced(from, to - from) });
    };
    qsizetype at = 0;
    while (at < received.size()) {
        if (quint8(received.at(at)) != StartByte) {
            qsizetype next = received.indexOf(char(StartByte), at);
            if (next < 0)
                next = received.size();
            add(Segment::Other, at, next);
            at = next;
            continue;
        }
        const Reading reading = read(received.sliced(at));
        if (reading.status == Reading::Complete && reading.intact) {
            add(Segment::Frame, at, at + reading.length);
            at += reading.length;
            continue;
        }
        // A damaged or unfinished candidate gives way to an intact frame starting inside it.
        const qsizetype end =
                reading.status == Reading::Complete ? at + reading.length : received.size();
        qsizetype inner = at + 1;
        while (inner < end && !startsIntactFrame(received.sliced(inner)))
            ++inner;
        if (inner < end) {
            add(Segment::Other, at, inner);
            at = inner;
            continue;
        }
        add(reading.status == Reading::Complete ? Segment::BadCheck : Segment::Truncated, at, end);
        at = end;
    }
    return result;
}

FinishedText finishHexText(const QString &frameText)
{
    FinishedText finished;
    QByteArray bytes = HexText::decode(frameText);
    if (bytes.size() < HeaderSize)
        return finished;
    finished.payloadSize = bytes.size() - HeaderSize;
    if (finished.payloadSize > MaxPayload)
        return finished;

    const auto length = quint8(finished.payloadSize);
    bytes[1] = char(length);
    const quint8 check = checkByte(QByteArrayView(bytes).sliced(1, 3 + length));
    finished.text = frameText;
    finished.text.replace(3, 2, HexText::byte(length));
    finished.text += QLatin1Char(' ') + HexText::byte(check);
    finished.bytes = HexText::decode(finished.text);
    return finished;
}

} // namespace CommandFrame
