// The reply scanner and decoder fed whatever the serial line may deliver.
#include "fuzzsupport.h"

#include "commandframe.h"
#include "deviceinfo.h"

#include <cstdint>

namespace {

constexpr qsizetype WholeReply = DeviceInfoReply::MinimumLength + CommandFrame::Overhead;

void checkTexts(const DeviceInfoReply::DeviceInfo &info)
{
    FUZZ_REQUIRE(info.netId.size() == 4);
    FUZZ_REQUIRE(info.shortAddr.size() == 4);
    FUZZ_REQUIRE(info.macAddr.size() == 16);
    FUZZ_REQUIRE(info.desAddr.size() == 4);
    FUZZ_REQUIRE(info.autoSendTimeOut.size() == 4);
    FUZZ_REQUIRE(info.extPanId.size() == 16);
    FUZZ_REQUIRE(info.frequencyText.size() == (info.frequency ? 8 : 0));
    FUZZ_REQUIRE(!info.channelBit || (*info.channelBit >= 0 && *info.channelBit < 32));
    FUZZ_REQUIRE(info.baudRateIndex >= 1 && info.baudRateIndex <= 5);
}

// True when some 0xFE in bytes starts an intact reply with room for every field.
bool holdsWholeReply(QByteArrayView bytes)
{
    for (qsizetype at = 0; at + WholeReply <= bytes.size(); ++at) {
        const QByteArrayView candidate = bytes.sliced(at);
        if (CommandFrame::isIntact(candidate)
            && CommandFrame::cmd0(candidate) == DeviceInfoReply::Cmd0
            && CommandFrame::cmd1(candidate) == DeviceInfoReply::Cmd1
            && CommandFrame::payload(candidate).size() >= DeviceInfoReply::MinimumLength) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A copy of exactly size bytes: ASan then sees every read past the delivery.
    const QByteArray received(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArrayView bytes(received);

    const auto found = DeviceInfoReply::scan(bytes);
    FUZZ_REQUIRE(found.has_value() == holdsWholeReply(bytes));
    if (found)
        checkTexts(*found);

    // The decoder's own contract: any buffer of a whole reply's size, intact or not.
    if (bytes.size() >= WholeReply)
        checkTexts(DeviceInfoReply::decode(bytes.first(WholeReply)));

    const CommandFrame::Reading reading = CommandFrame::read(bytes);
    if (reading.status == CommandFrame::Reading::Complete && reading.intact) {
        FUZZ_REQUIRE(reading.length <= bytes.size());
        FUZZ_REQUIRE(CommandFrame::build(CommandFrame::cmd0(bytes), CommandFrame::cmd1(bytes),
                                         CommandFrame::payload(bytes))
                     == bytes.first(reading.length));
    }

    if (!bytes.isEmpty()) {
        const quint8 first = quint8(bytes.at(0));
        DeviceInfoReply::workModeIndex(first);
        FUZZ_REQUIRE(!DeviceInfoReply::versionText(first).isEmpty());
        FUZZ_REQUIRE(!DeviceInfoReply::txPowerText(first, bytes.size() % 2).isEmpty());
    }
    return 0;
}
