#include "commandline.h"
#include "commands.h"

#include "console.h"
#include "framestream.h"
#include "hextext.h"
#include "interruptwatch.h"
#include "moduleclient.h"
#include "remotecatalogue.h"
#include "remoteframe.h"
#include "remoterequest.h"

#include <QJsonObject>
#include <QTime>
#include <QTimer>

namespace Ctl {

namespace {

using CommandFrame::Segment;

// A piece held back as the start of a frame is shown as cut short once the line has been
// silent this long: the silence that ends a reply.
constexpr int HeldPieceSilenceMs = 300;

// One line per event: sent, received (one piece of the frame rule each) or no reply, with the
// time of day to the millisecond and, for remote commands, the node's address ("-" for none).
class EventLines
{
public:
    EventLines(bool json, bool addressed)
        : m_json(json)
        , m_addressed(addressed)
    {
    }

    void sent(const QString &address, QByteArrayView frame) const
    {
        Console::out(
                line(now(), address, QStringLiteral("sent"), QStringLiteral("->"), frame, nullptr));
    }
    void received(const QString &address, Segment::Kind kind, QByteArrayView bytes) const
    {
        Console::out(received(now(), address, kind, bytes));
    }
    // The pieces of one delivery: one time, one write.
    void received(const QString &address, const QList<FrameStream::Piece> &pieces) const
    {
        if (pieces.isEmpty())
            return;
        const QString time = now();
        QStringList lines;
        for (const FrameStream::Piece &piece : pieces)
            lines << received(time, address, piece.kind, piece.bytes);
        Console::out(lines.join(u'\n'));
    }
    void noReply(const QString &address) const
    {
        Console::out(line(now(), address, QStringLiteral("no reply"), QStringLiteral("no reply"),
                          {}, nullptr));
    }

private:
    static QString now()
    {
        const QTime time = QTime::currentTime();
        return QString::asprintf("%02d:%02d:%02d.%03d", time.hour(), time.minute(), time.second(),
                                 time.msec());
    }
    QString received(const QString &time, const QString &address, Segment::Kind kind,
                     QByteArrayView bytes) const
    {
        static const char *const Kinds[] = { "intact", "bad check byte", "cut short", "bytes" };
        return line(time, address, QStringLiteral("received"), QStringLiteral("<-"), bytes,
                    Kinds[kind]);
    }
    QString line(const QString &time, const QString &address, const QString &event,
                 const QString &arrow, QByteArrayView bytes, const char *kind) const
    {
        const QString hex = HexText::spaced(bytes).trimmed();
        if (m_json) {
            QJsonObject line { { QStringLiteral("time"), time },
                               { QStringLiteral("event"), event } };
            if (m_addressed)
                line.insert(QStringLiteral("address"),
                            address.isEmpty() ? QJsonValue() : QJsonValue(address));
            if (!bytes.isEmpty())
                line.insert(QStringLiteral("bytes"), hex);
            if (kind)
                line.insert(QStringLiteral("kind"), QLatin1String(kind));
            return Console::jsonLine(line);
        }
        QString text = time;
        if (m_addressed)
            text += u' ' + (address.isEmpty() ? QStringLiteral("-") : address);
        text += u' ' + arrow;
        if (!hex.isEmpty())
            text += u' ' + hex;
        if (kind)
            text += QStringLiteral(" [") + QLatin1String(kind) + u']';
        return text;
    }

    const bool m_json;
    const bool m_addressed;
};

// The windows' link: the first reply byte within 1000 ms, the reply ends after 300 ms of
// silence; replies to frames signalled apart from the bytes that come unasked.
LinkSettings remoteLink()
{
    LinkSettings settings = LinkSettings::remoteConfig();
    settings.routeFrameReplies = true;
    return settings;
}

struct Target
{
    QString address; // empty for the node scan
    QByteArray frame;
};

// Every frame, built and checked before anything is opened; none when refused (said).
std::optional<QList<Target>> plan(const Options &options)
{
    QString error;
    const auto refuse = [&error] {
        Console::err(error);
        return std::nullopt;
    };
    const auto row = Remote::parseCommand(options.arguments.mid(1), &error);
    if (!row)
        return refuse();
    const QString command = options.arguments.value(1);
    if (!RemoteFrame::takesAddress(RemoteCatalogue::command(row->command))) {
        if (options.toSet) {
            error = QStringLiteral("%1 goes to the attached module: it takes no --to").arg(command);
            return refuse();
        }
        const auto frame = Remote::frameFor(*row, std::nullopt, &error);
        if (!frame)
            return refuse();
        return QList<Target> { { QString(), *frame } };
    }
    if (!options.toSet) {
        error = QStringLiteral("%1 needs --to ADDRESSES, as --to 0001 or --to 0001-0005")
                        .arg(command);
        return refuse();
    }
    const auto addresses = Remote::parseTargets(options.to, &error);
    if (!addresses)
        return refuse();
    QList<Target> targets;
    for (const quint16 address : *addresses) {
        const auto frame = Remote::frameFor(*row, address, &error);
        if (!frame)
            return refuse();
        targets.append({ Remote::addressText(address), *frame });
    }
    return targets;
}

} // namespace

int remoteCommand(const Options &options)
{
    const auto targets = plan(options);
    if (!targets)
        return Refused;
    if (options.dryRun) {
        for (const Target &target : *targets) {
            const QString hex = HexText::spaced(target.frame).trimmed();
            if (!options.json) {
                Console::out((target.address.isEmpty() ? QStringLiteral("-") : target.address)
                             + u' ' + hex);
                continue;
            }
            QJsonObject line { { QStringLiteral("frame"), hex } };
            line.insert(QStringLiteral("address"),
                        target.address.isEmpty() ? QJsonValue() : QJsonValue(target.address));
            Console::json(line);
        }
        return Done;
    }

    EventLines lines(options.json, true);
    FrameStream unasked;
    ModuleClient client(remoteLink());
    client.setBaudRate(options.baud);
    // Bytes between exchanges and while listening: node-scan results, late replies.
    client.setUnaskedHandler(
            [&](const QByteArray &bytes) { lines.received(QString(), unasked.feed(bytes)); });
    if (!client.open(options.arguments.value(0))) {
        Console::err(client.failureText());
        return LinkFailed;
    }
    const auto lost = [&] {
        lines.received(QString(), unasked.flush());
        Console::err(client.failureText());
        return LinkFailed;
    };
    for (qsizetype i = 0; i < targets->size(); ++i) {
        const Target &target = targets->at(i);
        // The link clears the line before it writes: what is held back is all there is.
        lines.received(QString(), unasked.flush());
        lines.sent(target.address, target.frame);
        const auto reply = client.exchange(target.frame);
        if (!reply)
            return lost();
        if (reply->isEmpty())
            lines.noReply(target.address);
        const QList<Segment> pieces = CommandFrame::segments(*reply);
        for (const Segment &piece : pieces)
            lines.received(target.address, piece.kind, piece.bytes);
        const bool last = i + 1 == targets->size();
        if (!client.wait(last ? options.listenMs : options.gapMs))
            return lost();
    }
    lines.received(QString(), unasked.flush());
    return Done;
}

int monitorCommand(const Options &options)
{
    EventLines lines(options.json, false);
    FrameStream stream;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(HeldPieceSilenceMs);
    QObject::connect(&silence, &QTimer::timeout, &silence,
                     [&] { lines.received(QString(), stream.flush()); });
    ModuleClient client(remoteLink());
    client.setBaudRate(options.baud);
    client.setUnaskedHandler([&](const QByteArray &bytes) {
        lines.received(QString(), stream.feed(bytes));
        if (stream.isHolding())
            silence.start();
        else
            silence.stop();
    });
    // The end a user asks for: what is held back is printed, and the run counts as done.
    InterruptWatch interrupt;
    QObject::connect(&interrupt, &InterruptWatch::interrupted, &silence,
                     [&client] { client.stopWaiting(); });
    if (!client.open(options.arguments.value(0))) {
        Console::err(client.failureText());
        return LinkFailed;
    }
    const bool kept = InterruptWatch::requested() || client.wait(-1);
    lines.received(QString(), stream.flush());
    if (!kept) {
        Console::err(client.failureText());
        return LinkFailed;
    }
    return Done;
}

} // namespace Ctl
