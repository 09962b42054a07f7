#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The module's command frame: FE, LEN, CMD0, CMD1, LEN payload bytes, check byte.
// The check byte is the XOR of LEN, CMD0, CMD1 and the payload (the start byte is not included).
namespace CommandFrame {

inline constexpr quint8 StartByte = 0xFE;
// Start byte, LEN, CMD0, CMD1 and the check byte.
inline constexpr int Overhead = 5;

// XOR of the given bytes: pass the span from LEN up to the last payload byte.
quint8 checkByte(QByteArrayView lenThroughPayload);

// The complete frame; LEN is the payload size and must fit one byte.
QByteArray build(quint8 cmd0, quint8 cmd1, QByteArrayView payload = {});

// True when bytes starts with 0xFE, holds at least LEN + 5 bytes and the byte after the
// payload equals the check byte. Reads nothing beyond bytes.size().
bool isIntact(QByteArrayView bytes);

} // namespace CommandFrame
