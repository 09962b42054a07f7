#pragma once

#include <QString>
#include <QStringList>

// The fixed lists of the remote window. The frame builder encodes most selections by their
// index in these lists, so the texts and their order are part of the protocol.
namespace RemoteCatalogue {

// Command types, in the order of the command selector; index 0 is the empty entry.
enum class Command {
    None,
    WriteParameter,
    ReadParameter,
    EraseNetwork,
    LevelOutput,
    PwmOutput,
    SerialData,
    Restart,
    CollectData,
    StartNodeScan,
    StopNodeScan,
};

QStringList commands();
// The command a selector text names; Command::None for any other text.
Command command(const QString &text);

// The 19 remote parameters; their index selects the NV item.
QStringList parameters();

// How a parameter takes its value.
enum class ParameterKind {
    NotAParameter,
    IoConfig, // a pin and its function
    Choice, // an entry of its choice list
    Text, // free hex text
};
ParameterKind parameterKind(const QString &parameter);
// The choice list of a Choice parameter; empty for every other text.
QStringList choices(const QString &parameter);

// The eight pins and the four that can put out PWM.
QStringList pins();
QStringList pwmPins();
// The functions a pin offers, "无" first; empty for a text that is not a pin.
QStringList pinFunctions(const QString &pin);

// Output levels: index 0 "低", 1 "高".
QStringList levels();

// Port settings. The baud rates are also the choice list of "波特率", the parities that of
// "校验位" and the stop bits that of "停止位".
QStringList baudRates();
QStringList parities();
QStringList stopBits();

} // namespace RemoteCatalogue
