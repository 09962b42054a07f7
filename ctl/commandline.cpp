#include "commandline.h"

#include "commands.h"
#include "console.h"

#include <QCommandLineParser>

#include <functional>

namespace Ctl {

namespace {

// Milliseconds a write may go unanswered before the next one goes out. The module answers a
// write within a few milliseconds when it answers at all; the read-back proves the write.
constexpr int DefaultGapMs = 100;

struct Subcommand
{
    const char *name;
    const char *arguments; // positional arguments as --help shows them
    const char *summary;
    bool json, frame, writes;
    int positional; // required positional arguments; -1: at least one more than listed
    std::function<int(const Options &)> run;
};

const QList<Subcommand> &subcommands()
{
    static const QList<Subcommand> list {
        { "ports", "",
          "List the serial ports with description, manufacturer, serial number "
          "and USB vendor:product id.",
          true, false, false, 0, portsCommand },
        { "read", "PORT",
          "Read the module's parameters once and print them (with --json: a "
          "profile).",
          true, false, false, 1, readCommand },
        { "backup", "PORT FILE", "Read the module and save its profile into FILE.", false, false,
          false, 2, backupCommand },
        { "diff", "PORT FILE",
          "Print the parameters in which the module differs from the profile in FILE; exit 0 "
          "when none does, 1 otherwise.",
          false, false, false, 2, diffCommand },
        { "restore", "PORT FILE",
          "Write the parameters in which the module differs from the profile in FILE, then "
          "read them back and verify them.",
          false, false, true, 2, restoreCommand },
        { "set", "PORT KEY=VALUE...",
          "Write the given parameters, then read them back and verify them.", false, false, true,
          -2, setCommand },
        { "send", "PORT HEX",
          "Send raw bytes (with --frame: CMD0 CMD1 and payload, finished into a frame) and "
          "print what came back.",
          false, true, false, 2, sendCommand },
    };
    return list;
}

QString programHelp()
{
    QString text = QStringLiteral("Usage: cc2530ctl SUBCOMMAND [options] [arguments]\n\n"
                                  "Backs up, restores, clones and verifies the configuration of "
                                  "a module attached to a serial port.\n\nSubcommands:\n");
    for (const Subcommand &sub : subcommands())
        text += QStringLiteral("  %1 %2\n      %3\n")
                        .arg(QLatin1String(sub.name), QLatin1String(sub.arguments),
                             QLatin1String(sub.summary));
    text += QStringLiteral("\n'cc2530ctl SUBCOMMAND --help' lists a subcommand's options.\n"
                           "Exit codes: 0 done; 1 refused input or a parameter that failed "
                           "verification; 2 the port could not be opened, the module did not "
                           "answer, or the line was lost.");
    return text;
}

int runSubcommand(const Subcommand &sub, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(sub.summary));
    parser.addHelpOption();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON."));
    const QCommandLineOption frame(QStringLiteral("frame"),
                                   QStringLiteral("HEX is CMD0 CMD1 and the payload."));
    const QCommandLineOption set(QStringLiteral("set"),
                                 QStringLiteral("Override one parameter of the profile, e.g. "
                                                "shortAddress=0002 (may be repeated)."),
                                 QStringLiteral("KEY=VALUE"));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QStringLiteral("Then save and restart the module, wait for it "
                                                 "to answer again and verify once more."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("Read the module and print the frames that "
                                                   "would be written; write nothing."));
    const QCommandLineOption gap(QStringLiteral("gap-ms"),
                                 QStringLiteral("How long a write may go unanswered before the "
                                                "next one (default %1).")
                                         .arg(DefaultGapMs),
                                 QStringLiteral("MS"), QString::number(DefaultGapMs));
    if (sub.json)
        parser.addOption(json);
    if (sub.frame)
        parser.addOption(frame);
    if (sub.writes) {
        if (QLatin1String(sub.name) == QLatin1String("restore"))
            parser.addOption(set);
        parser.addOption(save);
        parser.addOption(dryRun);
        parser.addOption(gap);
    }
    for (const QString &name : QString::fromLatin1(sub.arguments).split(u' ', Qt::SkipEmptyParts))
        parser.addPositionalArgument(name, QString());

    const QStringList withProgram =
            QStringList { QStringLiteral("cc2530ctl ") + sub.name } + arguments;
    if (!parser.parse(withProgram)) {
        Console::err(parser.errorText());
        return Refused;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        Console::out(parser.helpText().trimmed());
        return Done;
    }
    Options options;
    options.arguments = parser.positionalArguments();
    const int needed = sub.positional < 0 ? -sub.positional : sub.positional;
    const bool countOk = sub.positional < 0 ? options.arguments.size() >= needed
                                            : options.arguments.size() == needed;
    if (!countOk) {
        Console::err(QStringLiteral("usage: cc2530ctl %1 %2 (see --help)")
                             .arg(QLatin1String(sub.name), QLatin1String(sub.arguments)));
        return Refused;
    }
    options.json = sub.json && parser.isSet(json);
    options.frame = sub.frame && parser.isSet(frame);
    if (sub.writes) {
        options.save = parser.isSet(save);
        options.dryRun = parser.isSet(dryRun);
        if (QLatin1String(sub.name) == QLatin1String("restore"))
            options.sets = parser.values(set);
        bool ok = false;
        options.gapMs = parser.value(gap).toInt(&ok);
        if (!ok || options.gapMs < 1 || options.gapMs > 10000) {
            Console::err(QStringLiteral("--gap-ms: expected 1 to 10000 milliseconds"));
            return Refused;
        }
    }
    return sub.run(options);
}

} // namespace

int run(const QStringList &arguments)
{
    const QString name = arguments.value(1);
    if (name.isEmpty() || name == QLatin1String("--help") || name == QLatin1String("-h")) {
        (name.isEmpty() ? Console::err : Console::out)(programHelp());
        return name.isEmpty() ? Refused : Done;
    }
    for (const Subcommand &sub : subcommands()) {
        if (name == QLatin1String(sub.name))
            return runSubcommand(sub, arguments.mid(2));
    }
    Console::err(QStringLiteral("unknown subcommand '%1' (see cc2530ctl --help)").arg(name));
    return Refused;
}

} // namespace Ctl
