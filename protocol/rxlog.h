#pragma once

#include <QByteArrayView>
#include <QString>
#include <QTime>

// Lines of the received-data logs of both windows.
namespace RxLog {

// Size of the module's unframed RSSI report.
inline constexpr int RssiReportSize = 8;

// "hh:mm:ss", 24-hour clock.
QString timeStamp(const QTime &time);

// The time, " 收到数据: ", then every byte as two upper-case hex digits and a blank.
QString dumpLine(const QTime &time, QByteArrayView delivery);

// The RSSI report spelled out field by field. The two RSSI bytes (offsets 6 and 7) are
// shown plus one, wrapped to a signed byte, as "%02d". Takes exactly RssiReportSize bytes.
QString rssiReportLine(const QTime &time, QByteArrayView report);

} // namespace RxLog
