#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The module's command frame: FE, LEN, CMD0, CMD1, LEN payload bytes, check byte.
// The check byte is the XOR of LEN, CMD0, CMD1 and the payload (the start byte is not included).
namespace CommandFrame {

inline constexpr quint8 StartByte = 0xFE;
// Start byte, LEN, CMD0, CMD1 and the check byte.
inline constexpr int Overhead = 5;
inline constexpr int MaxPayload = 0xFF;

// XOR of the given bytes: pass the span from LEN up to the last payload byte.
quint8 checkByte(QByteArrayView lenThroughPayload);

// The complete frame; LEN is the payload size and must fit one byte.
QByteArray build(quint8 cmd0, quint8 cmd1, QByteArrayView payload = {});

// What the bytes received so far hold at their start.
struct Reading
{
    enum Status {
        Complete, // a whole frame of `length` bytes; `intact` tells whether its check byte holds
        NeedMore, // a frame has begun and more bytes are needed
        NotAFrame, // the first byte is not the start byte
    };
    Status status = NotAFrame;
    qsizetype length = 0;
    bool intact = false;
};

// Reads nothing beyond bytes.size().
Reading read(QByteArrayView bytes);

// True when bytes starts with a whole frame whose check byte holds.
bool isIntact(QByteArrayView bytes);
// True when bytes are one intact frame, nothing before or after it.
bool isSingleFrame(QByteArrayView bytes);

// Of a frame that read() found Complete.
quint8 cmd0(QByteArrayView frame);
quint8 cmd1(QByteArrayView frame);
QByteArrayView payload(QByteArrayView frame);

// Received bytes cut into frames and what lies between them. A frame cut short, or one with
// a wrong check byte, never hides an intact frame that starts inside it.
struct Segment
{
    enum Kind {
        Frame, // an intact frame
        BadCheck, // a whole frame whose check byte does not hold
        Truncated, // the start of a frame that ends with the bytes
        Other, // bytes outside any frame
    };
    Kind kind = Other;
    QByteArrayView bytes;
};
QList<Segment> segments(QByteArrayView received);

// A frame written as hex text whose characters 3 and 4 hold a placeholder for LEN
// ("FE 00 21 ..."): LEN (the bytes after the first four) goes there, then a blank and the
// check byte are appended. payloadSize is -1 for a text of fewer than four bytes; text and
// bytes are set only when the payload fits one LEN byte.
struct FinishedText
{
    qsizetype payloadSize = -1;
    QString text;
    QByteArray bytes;

    bool isFinished() const { return !bytes.isEmpty(); }
};
FinishedText finishHexText(const QString &frameText);

} // namespace CommandFrame
