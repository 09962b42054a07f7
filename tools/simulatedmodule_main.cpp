// cc2530-sim: the simulated radio module on a pseudo-terminal, for trying the programs
// without hardware.
#include "hextext.h"
#include "simulatedmodule.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // Nothing to do in a signal handler; the pipe is only full if a quit is pending.
    }
}

void printLine(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printError(const QString &message)
{
    std::fputs(message.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
}

// For bad options, before anything is started.
[[noreturn]] void fail(const QString &message)
{
    printError(message);
    std::exit(2);
}

int intValue(const QCommandLineParser &parser, const QString &name, int minimum)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < minimum)
        fail(QStringLiteral("--%1: expected a number of at least %2").arg(name).arg(minimum));
    return value;
}

bool installSignalHandlers()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0
            && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cc2530-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Simulated radio module on a pseudo-terminal. Serves until SIGINT or "
                           "SIGTERM."));
    parser.addHelpOption();
    parser.addOptions({
            { QStringLiteral("other-state"),
              QStringLiteral("Start with every parameter changed from the usual first state (a "
                             "second module to import or restore a profile onto).") },
            { QStringLiteral("silent"), QStringLiteral("Answer nothing.") },
            { QStringLiteral("split"), QStringLiteral("Send each reply in N pieces, GAP ms apart."),
              QStringLiteral("N:GAP") },
            { QStringLiteral("garbage-before"),
              QStringLiteral("Send these bytes before each reply."), QStringLiteral("HEX") },
            { QStringLiteral("garbage-after"), QStringLiteral("Send these bytes after each reply."),
              QStringLiteral("HEX") },
            { QStringLiteral("bad-check"),
              QStringLiteral("Send the device-information reply with a wrong check byte.") },
            { QStringLiteral("truncate"),
              QStringLiteral("Cut the device-information reply to N bytes."), QStringLiteral("N") },
            { QStringLiteral("delay"), QStringLiteral("Wait MS ms before each reply."),
              QStringLiteral("MS") },
            { QStringLiteral("stream"),
              QStringLiteral(
                      "Send bytes 00 01 .. FF 00 .. without pause at the line rate of BAUD."),
              QStringLiteral("BAUD") },
            { QStringLiteral("rssi-interval"),
              QStringLiteral("Interval of the RSSI reports while the test runs (default 500)."),
              QStringLiteral("MS") },
            { QStringLiteral("unanswered-writes"),
              QStringLiteral("Apply NV writes, transmit power and frequency, but send no answer "
                             "to them.") },
            { QStringLiteral("ignore-nv"),
              QStringLiteral("Answer writes to NV item ITEM (hex, as 0084) but keep its value. "
                             "May be given more than once."),
              QStringLiteral("ITEM") },
            { QStringLiteral("restart"),
              QStringLiteral("Take save-and-restart as a restart: no answer, deaf for the restart "
                             "time, then serving again with the saved state.") },
            { QStringLiteral("restart-ms"),
              QStringLiteral("Length of a restart (default 1000); implies --restart."),
              QStringLiteral("MS") },
            { QStringLiteral("forget-writes"),
              QStringLiteral("Come back from every restart with the state the module started "
                             "with: its writes are lost, as with a save that does not take; "
                             "implies --restart.") },
            { QStringLiteral("hangup-after"),
              QStringLiteral("Hang up the line after MS ms, then exit."), QStringLiteral("MS") },
            { QStringLiteral("hangup-after-frames"),
              QStringLiteral("Take in the N-th frame (a write is applied) but hang up instead of "
                             "answering it, then exit."),
              QStringLiteral("N") },
            { QStringLiteral("late-frame"),
              QStringLiteral("MS ms after answering a command for a remote node, send an unasked "
                             "frame of our own: 41, the command code and the node's address."),
              QStringLiteral("MS") },
            { QStringLiteral("print-path-to"),
              QStringLiteral("Write the device path to FILE once the line is ready."),
              QStringLiteral("FILE") },
            { QStringLiteral("mac"),
              QStringLiteral("The module's MAC address: 16 hex digits as a profile shows it "
                             "(default 0011223344556677)."),
              QStringLiteral("HEX") },
            { QStringLiteral("link"),
              QStringLiteral("Make PATH a symbolic link to the pseudo-terminal at start and "
                             "remove it at exit, as a USB adapter's entry in /dev/serial/by-id "
                             "comes and goes with plugging."),
              QStringLiteral("PATH") },
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first()));

    // Every option is checked before the module's thread starts.
    const bool otherState = parser.isSet(QStringLiteral("other-state"));
    const bool silent = parser.isSet(QStringLiteral("silent"));
    int splitPieces = 1;
    int splitGap = 0;
    if (parser.isSet(QStringLiteral("split"))) {
        const QStringList parts = parser.value(QStringLiteral("split")).split(QLatin1Char(':'));
        bool piecesOk = false;
        bool gapOk = false;
        splitPieces = parts.value(0).toInt(&piecesOk);
        splitGap = parts.value(1).toInt(&gapOk);
        if (parts.size() != 2 || !piecesOk || !gapOk || splitPieces < 1 || splitGap < 0)
            fail(QStringLiteral("--split: expected N:GAP, as in 3:100"));
    }
    const QByteArray garbageBefore =
            HexText::decode(parser.value(QStringLiteral("garbage-before")));
    const QByteArray garbageAfter = HexText::decode(parser.value(QStringLiteral("garbage-after")));
    const bool badCheck = parser.isSet(QStringLiteral("bad-check"));
    const int truncateTo = parser.isSet(QStringLiteral("truncate"))
            ? intValue(parser, QStringLiteral("truncate"), 1)
            : 0;
    const int delayMs = parser.isSet(QStringLiteral("delay"))
            ? intValue(parser, QStringLiteral("delay"), 0)
            : 0;
    const int streamBaud = parser.isSet(QStringLiteral("stream"))
            ? intValue(parser, QStringLiteral("stream"), 1)
            : 0;
    const int rssiIntervalMs = parser.isSet(QStringLiteral("rssi-interval"))
            ? intValue(parser, QStringLiteral("rssi-interval"), 1)
            : 500;
    const bool unansweredWrites = parser.isSet(QStringLiteral("unanswered-writes"));
    QList<quint16> ignoredItems;
    for (QString item : parser.values(QStringLiteral("ignore-nv"))) {
        if (item.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            item.remove(0, 2);
        bool ok = false;
        ignoredItems.append(item.toUShort(&ok, 16));
        if (!ok)
            fail(QStringLiteral("--ignore-nv: expected an NV item in hex, as 0084"));
    }
    const bool forgetWrites = parser.isSet(QStringLiteral("forget-writes"));
    const bool restartOnSave = parser.isSet(QStringLiteral("restart"))
            || parser.isSet(QStringLiteral("restart-ms")) || forgetWrites;
    const int restartMs = parser.isSet(QStringLiteral("restart-ms"))
            ? intValue(parser, QStringLiteral("restart-ms"), 0)
            : 1000;
    const int hangUpAfterMs = parser.isSet(QStringLiteral("hangup-after"))
            ? intValue(parser, QStringLiteral("hangup-after"), 0)
            : -1;
    const int hangUpAfterFrames = parser.isSet(QStringLiteral("hangup-after-frames"))
            ? intValue(parser, QStringLiteral("hangup-after-frames"), 1)
            : 0;
    const int lateFrameMs = parser.isSet(QStringLiteral("late-frame"))
            ? intValue(parser, QStringLiteral("late-frame"), 1)
            : 0;
    const QString pathFile = parser.value(QStringLiteral("print-path-to"));
    QByteArray mac;
    if (parser.isSet(QStringLiteral("mac"))) {
        const QString text = parser.value(QStringLiteral("mac"));
        mac = QByteArray::fromHex(text.toLatin1());
        if (text.size() != 16 || mac.size() != 8
            || mac.toHex().toUpper() != text.toUpper().toLatin1())
            fail(QStringLiteral("--mac: expected 16 hex digits, as 00124B0001020304"));
        // The reply carries it least significant byte first.
        std::reverse(mac.begin(), mac.end());
    }
    const QString linkPath = parser.value(QStringLiteral("link"));
    if (!linkPath.isEmpty() && (QFileInfo::exists(linkPath) || QFileInfo(linkPath).isSymLink()))
        fail(QStringLiteral("--link: %1 exists already").arg(linkPath));

    if (!installSignalHandlers())
        fail(QStringLiteral("Cannot install the signal handlers"));
    QSocketNotifier quitNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    SimulatedModule module;
    if (otherState)
        module.changeEveryParameter();
    module.setSilent(silent);
    module.setReplySplit(splitPieces, splitGap);
    module.setGarbageBeforeReply(garbageBefore);
    module.setGarbageAfterReply(garbageAfter);
    module.setCorruptCheckByte(badCheck);
    module.setTruncateReplyTo(truncateTo);
    module.setReplyDelayMs(delayMs);
    module.setRssiReportIntervalMs(rssiIntervalMs);
    module.setUnansweredWrites(unansweredWrites);
    module.setIgnoredNvItems(ignoredItems);
    module.setRestartOnSave(restartOnSave);
    module.setRestartMs(restartMs);
    module.setForgetWritesAtRestart(forgetWrites);
    module.setHangUpAfterFrames(hangUpAfterFrames);
    module.setLateFrameMs(lateFrameMs);
    if (!mac.isEmpty())
        module.setMacAddress(mac);
    if (!module.start()) {
        printError(QStringLiteral("Cannot open a pseudo-terminal"));
        return 1;
    }
    const QString path = module.devicePath();
    if (streamBaud > 0)
        module.startStream(streamBaud);

    QObject::connect(&module, &SimulatedModule::bytesReceived, &app, [](const QByteArray &chunk) {
        printLine(QStringLiteral("<- ") + HexText::spaced(chunk).trimmed());
    });

    // The remote commands it takes, each answered with a short frame of our own choice.
    QObject::connect(
            &module, &SimulatedModule::remoteFrameReceived, &app, [](const QByteArray &frame) {
                printLine(QStringLiteral("remote command: ") + HexText::spaced(frame).trimmed());
            });

    QObject::connect(&module, &SimulatedModule::hungUp, &app, [&app] {
        printLine(QStringLiteral("Line hung up"));
        app.quit();
    });
    if (hangUpAfterMs >= 0) {
        QTimer::singleShot(hangUpAfterMs, &app, [&module, &app] {
            module.hangUp();
            printLine(QStringLiteral("Line hung up"));
            app.quit();
        });
    }

    // Written as a whole under a temporary name, so a script that polls for the file never
    // reads half a path.
    if (!pathFile.isEmpty()) {
        QSaveFile file(pathFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(path.toLocal8Bit() + '\n') < 0
            || !file.commit()) {
            printError(QStringLiteral("Cannot write %1").arg(pathFile));
            return 1;
        }
    }

    if (!linkPath.isEmpty() && !QFile::link(path, linkPath)) {
        printError(QStringLiteral("Cannot make the link %1").arg(linkPath));
        return 1;
    }

    printLine(QStringLiteral("Simulated module ready on %1 — type this path into the port box")
                      .arg(path));
    const int code = app.exec();
    // Unplugged: the link goes, unless something else has taken its place.
    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == path)
        QFile::remove(linkPath);
    return code;
}
