// The remote frame builder fed any selection the remote window's lists can hold, and any
// texts in the address and value fields and in the frame line.
#include "fuzzsupport.h"

#include "commandframe.h"
#include "hextext.h"
#include "remotecatalogue.h"
#include "remoteframe.h"

#include <cstdint>

namespace {

// Mostly an entry of the given list (or -1, an emptied list), sometimes any text at all.
int pickIndex(FuzzedDataProvider &input, const QStringList &list)
{
    return input.ConsumeIntegralInRange<int>(-2, int(list.size()) + 1);
}

QString pickText(FuzzedDataProvider &input, const QStringList &list, int index)
{
    if (input.ConsumeIntegralInRange(0, 7) == 0)
        return Fuzz::consumeText(input, 40);
    return list.value(index);
}

QStringList pinFunctionTexts()
{
    QStringList texts = RemoteCatalogue::levels();
    const QStringList pins = RemoteCatalogue::pins();
    for (const QString &pin : pins)
        texts += RemoteCatalogue::pinFunctions(pin);
    return texts;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QStringList commands = RemoteCatalogue::commands();
    static const QStringList parameters = RemoteCatalogue::parameters();
    static const QStringList pins = RemoteCatalogue::pins();
    static const QStringList functions = pinFunctionTexts();

    FuzzedDataProvider input(data, size);
    RemoteFrame::Selection selection;
    selection.command = pickText(input, commands, pickIndex(input, commands));
    // NVID_IO holds the parameters or the pins, Type_IOport the choices or the pins.
    const QStringList &parameterList = input.ConsumeBool() ? parameters : pins;
    selection.parameterIndex = pickIndex(input, parameterList);
    selection.parameterText = pickText(input, parameterList, selection.parameterIndex);
    const QStringList choiceList =
            input.ConsumeBool() ? RemoteCatalogue::choices(selection.parameterText) : pins;
    selection.choiceIndex = pickIndex(input, choiceList);
    selection.choiceText = pickText(input, choiceList, selection.choiceIndex);
    selection.option = pickText(input, functions, pickIndex(input, functions));
    selection.address = Fuzz::consumeText(input, 64);
    selection.value = Fuzz::consumeText(input, 1200);
    const QString line = Fuzz::consumeText(input, 1200);

    const RemoteFrame::Result built = RemoteFrame::build(selection);
    if (built.isRefused()) {
        FUZZ_REQUIRE(built.bytes.isEmpty());
    } else {
        // What the send button hands to the worker: one whole frame of a remote command.
        FUZZ_REQUIRE(CommandFrame::isSingleFrame(built.bytes));
        FUZZ_REQUIRE(CommandFrame::cmd0(built.bytes) == 0x21);
        FUZZ_REQUIRE(HexText::decode(built.text) == built.bytes);
    }

    // The frame line may hold anything the user typed over it.
    const RemoteFrame::Result finished = RemoteFrame::finishFrame(line);
    if (!finished.isRefused())
        FUZZ_REQUIRE(finished.bytes.size() >= CommandFrame::Overhead);
    return 0;
}
