// The received-data log lines for deliveries of any size.
#include "fuzzsupport.h"

#include "rxlog.h"

#include <QTime>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray delivery(reinterpret_cast<const char *>(data), qsizetype(size));
    // The clock is taken from the delivery itself; the hour may be out of range (invalid).
    QTime time;
    if (size >= 3)
        time = QTime(data[0] % 25, data[1] % 60, data[2] % 60);

    const QString stamp = RxLog::timeStamp(time);
    FUZZ_REQUIRE(stamp.isEmpty() || stamp.size() == 8);

    // Time, " 收到数据: " (7 characters), then three characters per byte: every byte once.
    const QString dump = RxLog::dumpLine(time, delivery);
    FUZZ_REQUIRE(dump.size() == stamp.size() + 7 + 3 * delivery.size());

    if (delivery.size() >= RxLog::RssiReportSize) {
        const QString report =
                RxLog::rssiReportLine(time, QByteArrayView(delivery).first(RxLog::RssiReportSize));
        FUZZ_REQUIRE(report.startsWith(stamp));
        FUZZ_REQUIRE(report.contains(QStringLiteral("RxRSSI：")));
    }
    return 0;
}
