// The DigiAPI composer fed any three texts.
#include "fuzzsupport.h"

#include "commandframe.h"
#include "digiapi.h"
#include "hextext.h"

#include <cstdint>

namespace {

bool onlyHexDigits(const QString &text)
{
    for (const QChar c : text) {
        if (!Fuzz::isHexDigit(c))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString mac = Fuzz::consumeText(input, 40);
    const QString shortAddress = Fuzz::consumeText(input, 12);
    const QString uartData = Fuzz::consumeText(input, 2000);

    const DigiApi::Composition result = DigiApi::compose(mac, shortAddress, uartData);
    if (!result.isComposed()) {
        FUZZ_REQUIRE(result.frameText.isEmpty());
        return 0;
    }
    FUZZ_REQUIRE(result.frameText.startsWith(QLatin1String("FE ")));
    const QByteArray bytes = HexText::decode(result.frameText);
    FUZZ_REQUIRE(bytes.size() >= CommandFrame::Overhead);

    // Clean input gives a whole frame: hex addresses and data with an even digit count.
    const bool clean = onlyHexDigits(mac.left(DigiApi::MacAddressDigits))
            && onlyHexDigits(shortAddress.left(DigiApi::ShortAddressDigits))
            && Fuzz::hexDigitCount(uartData) % 2 == 0;
    if (clean) {
        FUZZ_REQUIRE(CommandFrame::isSingleFrame(bytes));
        FUZZ_REQUIRE(CommandFrame::cmd0(bytes) == 0x21 && CommandFrame::cmd1(bytes) == 0x2E);
    }
    return 0;
}
