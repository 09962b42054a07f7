#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Command bytes the programs send to the module and the fixed frames built from them.
namespace ModuleCommand {

inline constexpr quint8 SysRequest = 0x21; // synchronous request, system group
inline constexpr quint8 SysAsyncRequest = 0x41; // asynchronous request, system group
inline constexpr quint8 SysResponse = 0x61; // synchronous response, system group

inline constexpr quint8 NvWrite = 0x09;
inline constexpr quint8 DeviceInfoReply = 0x08;
inline constexpr quint8 SetTxPower = 0x14;
inline constexpr quint8 ReadDeviceInfo = 0x15;
inline constexpr quint8 StartRssiTest = 0x16;
inline constexpr quint8 StopRssiTest = 0x17;
inline constexpr quint8 SetFrequency = 0x2B;
inline constexpr quint8 DigiApiTransmit = 0x2E;
inline constexpr quint8 SaveAndRestart = 0x00; // with SysAsyncRequest

// NV item that clears the network formation when 0x02 is written into it.
inline constexpr quint16 ClearNetworkItem = 0x0003;

QByteArray readDeviceInfoFrame(); // FE 00 21 15 34
QByteArray startRssiTestFrame(); // FE 00 21 16 37
QByteArray stopRssiTestFrame(); // FE 00 21 17 36
QByteArray saveAndRestartFrame(); // FE 01 41 00 00 40
QByteArray clearNetworkFrame(); // FE 05 21 09 03 00 00 01 02 2D

// NV write: item (low byte first), offset, value length, value bytes.
QByteArray nvWriteFrame(quint16 item, quint8 offset, QByteArrayView value);

// True when reply (an intact frame) is the module's answer to request (an intact frame): the
// device information for its request, otherwise the synchronous response of the same command.
bool isAnswerTo(QByteArrayView request, QByteArrayView reply);

// True when two transmissions set or ask for the same thing of the attached module, so that
// the later one makes the earlier one pointless: NV writes of the same item and offset, the
// same one of the module's own commands (transmit power, frequency, device information, RSSI
// test, save and restart), otherwise identical bytes. Judged by the first frame; frames for
// remote nodes carry an address and data, so only identical bytes make them the same.
bool sameTarget(QByteArrayView a, QByteArrayView b);

} // namespace ModuleCommand
