// Every text-driven parameter write fed whatever a user may type or paste, and the list
// writes fed any index a combo box may report.
#include "fuzzsupport.h"

#include "commandframe.h"
#include "parameterwrites.h"

#include <cstdint>

namespace {

// One whole frame, nothing before or after it.
void requireFrame(const QByteArray &frame)
{
    FUZZ_REQUIRE(CommandFrame::isSingleFrame(frame));
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
    // What a combo box may report: -1 when emptied, else an item index.
    const int index = input.ConsumeIntegralInRange<int>(-1, 0xFFFF);
    const auto pin = input.ConsumeIntegral<quint8>();
    const QString text = Fuzz::consumeText(input, 4096);

    for (const ParameterWrites::NvWrite &write : ParameterWrites::NvWrites) {
        if (ParameterWrites::isListRule(write.rule)) {
            requireFrame(ParameterWrites::listFrame(write.parameter, index));
            continue;
        }
        const auto frame = ParameterWrites::textFrame(write.parameter, text);
        if (frame) {
            requireFrame(*frame);
            // FE LEN 21 09 item(2) offset length value
            FUZZ_REQUIRE(frame->size() == 8 + write.size + 1);
        } else {
            // Only the hex rules refuse, and only a text without a hex digit.
            FUZZ_REQUIRE(Fuzz::hexDigitCount(text) == 0);
        }
    }

    requireFrame(ParameterWrites::txPowerFrame(text));
    if (const auto frame = ParameterWrites::frequencyFrame(text))
        requireFrame(*frame);
    else
        FUZZ_REQUIRE(Fuzz::hexDigitCount(text) == 0);
    if (const auto frame = ParameterWrites::pinFrame(pin, text))
        requireFrame(*frame);
    return 0;
}
