#include "commandline.h"
#include "commands.h"

#include "commandframe.h"
#include "console.h"
#include "hextext.h"
#include "moduleclient.h"

namespace Ctl {

namespace {

QString segmentLine(const CommandFrame::Segment &segment)
{
    static const char *const Kinds[] = { "frame, intact", "frame, wrong check byte",
                                         "frame, cut short", "not a frame" };
    return HexText::spaced(segment.bytes).trimmed() + QStringLiteral("  (")
            + QLatin1String(Kinds[segment.kind]) + u')';
}

} // namespace

int sendCommand(const Options &options)
{
    // Blanks between bytes are allowed; anything else that is no hex digit is refused.
    const std::optional<QByteArray> parsed = HexText::parseBytes(options.arguments.value(1));
    if (!parsed) {
        Console::err(
                QStringLiteral("HEX must be whole bytes of hex digits, e.g. \"FE 00 21 15 34\""));
        return Refused;
    }
    QByteArray bytes = *parsed;
    if (options.frame) {
        if (bytes.size() < 2 || bytes.size() - 2 > CommandFrame::MaxPayload) {
            Console::err(QStringLiteral("--frame needs CMD0, CMD1 and at most 255 payload bytes"));
            return Refused;
        }
        bytes = CommandFrame::build(quint8(bytes.at(0)), quint8(bytes.at(1)), bytes.sliced(2));
    }

    // An unknown command may take as long as a read to be answered.
    ModuleClient client(ModuleClient::ReadTimeoutMs);
    if (!client.open(options.arguments.value(0))) {
        Console::err(client.failureText());
        return LinkFailed;
    }
    Console::out(QStringLiteral("sent: ") + HexText::spaced(bytes).trimmed());
    const auto reply = client.exchange(bytes);
    if (!reply) {
        Console::err(client.failureText());
        return LinkFailed;
    }
    if (reply->isEmpty()) {
        Console::err(QStringLiteral("no reply: nothing came back within %1 ms")
                             .arg(ModuleClient::ReadTimeoutMs));
        return LinkFailed;
    }
    const QList<CommandFrame::Segment> segments = CommandFrame::segments(*reply);
    for (const CommandFrame::Segment &segment : segments)
        Console::out(segmentLine(segment));
    return Done;
}

} // namespace Ctl
