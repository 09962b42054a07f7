#include "rxlog.h"

#include "hextext.h"

namespace RxLog {

namespace {

QString rssiValue(char byte)
{
    return QString::asprintf("%02d", int(qint8(quint8(byte) + 1)));
}

} // namespace

QString timeStamp(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString dumpLine(const QTime &time, QByteArrayView delivery)
{
    return timeStamp(time) + QStringLiteral(" 收到数据: ") + HexText::spaced(delivery);
}

QString rssiReportLine(const QTime &time, QByteArrayView report)
{
    Q_ASSERT(report.size() == RssiReportSize);
    const auto hex = [&report](int offset) { return HexText::byte(quint8(report.at(offset))); };
    return timeStamp(time) + QStringLiteral("软件版本：") + hex(0) + QStringLiteral("  客户：")
            + hex(1) + QStringLiteral("  频点：") + hex(2) + QStringLiteral("  PAN ID：") + hex(3)
            + hex(4) + QStringLiteral("  序列号：") + hex(5) + QStringLiteral("  TxRSSI：")
            + rssiValue(report.at(6)) + QStringLiteral("  RxRSSI：") + rssiValue(report.at(7));
}

} // namespace RxLog
