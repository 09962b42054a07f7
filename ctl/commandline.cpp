#include "commandline.h"

#include "arguments.h"
#include "commands.h"
#include "console.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <functional>

namespace Ctl {

namespace {

// Milliseconds a write may go unanswered before the next one goes out. The module answers a
// write within a few milliseconds when it answers at all; the read-back proves the write.
constexpr int DefaultGapMs = 100;

// Every option any subcommand takes; a subcommand lists those it offers.
enum class Opt { Json, Frame, Set, Save, DryRun, GapMs, Ledger, Assign, Watch };

using Take =
        std::function<QString(const QCommandLineParser &, const QCommandLineOption &, Options &)>;

struct OptionRow
{
    Opt id;
    QCommandLineOption option;
    // Takes the parsed option into options; the refusal when its value is not allowed.
    Take take;
};

// A switch into one of the flags of Options.
Take flag(bool Options::*field)
{
    return [field](const QCommandLineParser &parser, const QCommandLineOption &option,
                   Options &options) {
        options.*field = parser.isSet(option);
        return QString();
    };
}

// An option's value into a text of Options.
Take value(QString Options::*field)
{
    return [field](const QCommandLineParser &parser, const QCommandLineOption &option,
                   Options &options) {
        options.*field = parser.value(option);
        return QString();
    };
}

// Every value of a repeated option, in the order given.
Take values(QStringList Options::*field)
{
    return [field](const QCommandLineParser &parser, const QCommandLineOption &option,
                   Options &options) {
        options.*field = parser.values(option);
        return QString();
    };
}

const QList<OptionRow> &optionRows()
{
    static const QList<OptionRow> list {
        { Opt::Json,
          { QStringLiteral("json"), QStringLiteral("Print JSON.") },
          flag(&Options::json) },
        { Opt::Frame,
          { QStringLiteral("frame"), QStringLiteral("HEX is CMD0 CMD1 and the payload.") },
          flag(&Options::frame) },
        { Opt::Set,
          { QStringLiteral("set"),
            QStringLiteral("Override one parameter of the profile, e.g. shortAddress=0002 (may "
                           "be repeated)."),
            QStringLiteral("KEY=VALUE") },
          values(&Options::sets) },
        { Opt::Save,
          { QStringLiteral("save"),
            QStringLiteral("Then save and restart the module, wait for it to answer again and "
                           "verify once more; also when nothing had to be written.") },
          flag(&Options::save) },
        { Opt::DryRun,
          { QStringLiteral("dry-run"),
            QStringLiteral("Read the module and print the frames that would be written; write "
                           "nothing.") },
          flag(&Options::dryRun) },
        { Opt::GapMs,
          { QStringLiteral("gap-ms"),
            QStringLiteral("How long a write may go unanswered before the next one (default "
                           "%1).")
                    .arg(DefaultGapMs),
            QStringLiteral("MS"), QString::number(DefaultGapMs) },
          [](const auto &parser, const auto &option, Options &options) {
              bool ok = false;
              options.gapMs = parser.value(option).toInt(&ok);
              return ok && options.gapMs >= 1 && options.gapMs <= 10000
                      ? QString()
                      : QStringLiteral("--gap-ms: expected 1 to 10000 milliseconds");
          } },
        { Opt::Ledger,
          { QStringLiteral("ledger"),
            QStringLiteral("The CSV file that records every module: its MAC, its own values, "
                           "status, port and time (made when missing)."),
            QStringLiteral("FILE") },
          value(&Options::ledger) },
        { Opt::Assign,
          { QStringLiteral("assign"),
            QStringLiteral("Give a module whose row holds no KEY the lowest value in "
                           "FIRST..LAST that no row holds, e.g. shortAddress=0010..00FF (hex "
                           "keys count in hex, numbers in decimal; may be repeated)."),
            QStringLiteral("KEY=FIRST..LAST") },
          values(&Options::assigns) },
        { Opt::Watch,
          { QStringLiteral("watch"),
            QStringLiteral("Instead of PORT...: provision every serial port that appears in "
                           "DIR (e.g. /dev/serial/by-id) until SIGINT or SIGTERM."),
            QStringLiteral("DIR") },
          value(&Options::watch) },
    };
    return list;
}

const char ApplyDetails[] =
        "Prints a line per parameter, then a summary of the counts:\n"
        "  KEY: unchanged                     the module held it already\n"
        "  KEY: written and verified          the read-back shows it\n"
        "  KEY: FAILED: wanted X, module shows Y\n"
        "                                     written twice, the read-back shows Y\n"
        "  KEY: sent, not verified (wanted X) its frame went out (or was going out\n"
        "                                     when the line was lost); no read-back\n"
        "  KEY: not sent (wanted X)           stopped before its frame\n\n"
        "When nothing differs it says \"nothing written\". With --save it then says that "
        "save-and-restart went out and when the module answered again; the lines are then "
        "those of the read-back after the restart. --save saves also when nothing was "
        "written.\n\n"
        "A line lost or a module that does not answer ends the run: the lines and the summary "
        "are printed, the reason on standard error. SIGINT or SIGTERM: the exchange in "
        "progress is finished, the clear-network frame is sent if node type, channel or PAN "
        "ID went out without it, the lines and the summary are printed; the same signal again "
        "ends the program at once.\n\n"
        "Exit codes: 0 every parameter holds (read back); 1 refused input (wrong arguments, a "
        "fault in the file or a --set; nothing is written) or a parameter that failed "
        "verification; 2 the port could not be opened, the module did not answer, or the line "
        "was lost; 130 stopped by SIGINT, 143 stopped by SIGTERM.";

const char ProvisionDetails[] =
        "Every module is read, then given PROFILE plus its own values: those of its row in "
        "the ledger (a row may be written by hand before the run, e.g. the coordinator's MAC "
        "with nodeType coordinator and shortAddress 0000), or else the lowest free value of "
        "each --assign range, recorded in the ledger before the module's first write. It is "
        "written as restore writes, read back and recorded in the ledger, one row per MAC, "
        "with one of these statuses:\n"
        "  verified             every parameter reads back as wanted\n"
        "  failed: KEY, KEY     these did not read back after the second write\n"
        "  refused: REASON      nothing was written (no free value in a range)\n"
        "  lost: REASON         the port could not be opened, the module did not answer\n"
        "                       or the line was lost; nothing after the last read-back\n"
        "                       counts\n\n"
        "Prints a line when a module starts and when it ends (PORT MAC KEY=VALUE...: "
        "result), then the counts. The ledger is read as spreadsheets write it and replaced "
        "whole after every module; a second station on it is refused.\n\n"
        "With --watch the station runs until SIGINT or SIGTERM; the modules in progress are "
        "then finished. Entries present at the start are left alone; in /dev only the "
        "serial ports the system lists count.\n\n"
        "Exit codes: 0 every module verified; 1 refused input (a fault in PROFILE, the ledger "
        "or an option; nothing is written), the ledger held by another station, or a module "
        "refused or failed; 2 a port could not be opened, a module did not answer, a line "
        "was lost or the ledger could not be written; with PORT... 130 or 143 after SIGINT or "
        "SIGTERM (the modules in progress are finished first).";

// Lines longer than width broken between words; a continuation keeps the line's indent.
QString wrapped(const QString &text, qsizetype width = 79)
{
    QStringList out;
    const QStringList lines = text.split(u'\n');
    for (const QString &line : lines) {
        if (line.size() <= width) {
            out << line;
            continue;
        }
        qsizetype lead = 0;
        while (lead < line.size() && line.at(lead) == u' ')
            ++lead;
        const QString prefix(lead, u' ');
        QString current;
        const QStringList words = line.mid(lead).split(u' ', Qt::SkipEmptyParts);
        for (const QString &word : words) {
            if (!current.isEmpty() && lead + current.size() + 1 + word.size() > width) {
                out << prefix + current;
                current.clear();
            }
            current += (current.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        out << prefix + current;
    }
    return out.join(u'\n');
}

struct Subcommand
{
    const char *name;
    const char *arguments; // positional arguments as --help shows them
    const char *summary;
    const char *details; // what it prints on failure and its exit codes
    QList<Opt> options;
    int positional; // required positional arguments; -2: at least two
    FileUse file; // what the argument after PORT is
    int refusedCode; // for wrong usage and refused arguments
    std::function<int(const Options &)> run;
};

const QList<Subcommand> &subcommands()
{
    static const QList<Subcommand> list {
        { "ports",
          "",
          "List the serial ports with description, manufacturer, serial number and USB "
          "vendor:product id.",
          "Exit codes: 0 listed (also when there is none); 1 wrong usage.",
          { Opt::Json },
          0,
          FileUse::None,
          Refused,
          portsCommand },
        { "read",
          "PORT",
          "Read the module's parameters once and print them (with --json: a profile).",
          "Exit codes: 0 read; 1 wrong usage or PORT is not a serial port; 2 the port could not be "
          "opened (missing, in use, no permission), the module did not answer, or the line was "
          "lost.",
          { Opt::Json },
          1,
          FileUse::None,
          Refused,
          readCommand },
        { "backup",
          "PORT FILE",
          "Read the module and save its profile into FILE.",
          "FILE is replaced only once the new profile is completely written.\n\n"
          "Exit codes: 0 saved; 1 wrong usage, PORT is not a serial port, or FILE exists and is "
          "not a "
          "regular file (a device, a FIFO, a directory); 2 the port could not be opened, the "
          "module did not answer, the line was lost, or FILE could not be written (a full disk, "
          "no permission; FILE is then as it was).",
          {},
          2,
          FileUse::Write,
          Refused,
          backupCommand },
        { "diff",
          "PORT FILE",
          "Print the parameters in which the module differs from the profile in FILE.",
          "Exit codes, as diff(1) has them: 0 the module holds every parameter of FILE; 1 it "
          "differs; 2 trouble: wrong usage, PORT is not a serial port, FILE is missing, unreadable "
          "or refused, the port could not be opened, the module did not answer, or the line was "
          "lost.",
          {},
          2,
          FileUse::Read,
          Trouble,
          diffCommand },
        { "restore",
          "PORT FILE",
          "Write the parameters in which the module differs from the profile in FILE, then "
          "read them back and verify them.",
          ApplyDetails,
          { Opt::Set, Opt::Save, Opt::DryRun, Opt::GapMs },
          2,
          FileUse::Read,
          Refused,
          restoreCommand },
        { "set",
          "PORT KEY=VALUE...",
          "Write the given parameters, then read them back and verify them.",
          ApplyDetails,
          { Opt::Save, Opt::DryRun, Opt::GapMs },
          -2,
          FileUse::None,
          Refused,
          setCommand },
        { "send",
          "PORT HEX",
          "Send raw bytes (with --frame: CMD0 CMD1 and payload, finished into a frame) and "
          "print what came back, each frame marked intact or not.",
          "When nothing comes back within 1000 ms it says \"no reply\".\n\n"
          "Exit codes: 0 a reply came (intact or not); 1 wrong usage, PORT is not a serial port, "
          "or "
          "HEX refused; 2 the port could not be opened, no reply, or the line was lost.",
          { Opt::Frame },
          2,
          FileUse::None,
          Refused,
          sendCommand },
        { "provision",
          "PROFILE PORT...",
          "Provision modules, several at once: PROFILE plus each module's own values from the "
          "ledger, verified, each module recorded in the ledger.",
          ProvisionDetails,
          { Opt::Ledger, Opt::Assign, Opt::Watch, Opt::Save, Opt::GapMs, Opt::Json },
          -1,
          FileUse::None,
          Refused,
          provisionCommand },
    };
    return list;
}

QString programHelp()
{
    QString text = QStringLiteral("Usage: cc2530ctl SUBCOMMAND [options] [arguments]\n\n"
                                  "Backs up, restores, clones and verifies the configuration of "
                                  "a module attached to a serial port.\n\nSubcommands:\n");
    for (const Subcommand &sub : subcommands())
        text += QStringLiteral("  %1\n      %2\n")
                        .arg(QStringLiteral("%1 %2")
                                     .arg(QLatin1String(sub.name), QLatin1String(sub.arguments))
                                     .trimmed(),
                             QLatin1String(sub.summary));
    text += QStringLiteral(
            "\n'cc2530ctl SUBCOMMAND --help' lists a subcommand's options, what it prints on "
            "failure and its exit codes.\n\n"
            "Exit codes: 0 done; 1 refused input or a parameter that failed verification (diff: "
            "the module differs); 2 the port could not be opened, the module did not answer, the "
            "line was lost, or a file could not be written (diff: any trouble); 130 and 143: "
            "restore, set or provision stopped by SIGINT or SIGTERM.");
    return wrapped(text);
}

QString argumentHelp(const QString &name)
{
    if (name == QLatin1String("PORT"))
        return QStringLiteral("The serial port: a device such as /dev/ttyUSB0 or /dev/pts/3, or a "
                              "name under /dev (ttyUSB0).");
    if (name == QLatin1String("FILE"))
        return QStringLiteral("The profile file (JSON).");
    if (name == QLatin1String("PROFILE"))
        return QStringLiteral("The profile file (JSON) every module is given.");
    if (name == QLatin1String("PORT..."))
        return QStringLiteral("The modules' serial ports, provisioned at once; none with --watch.");
    if (name == QLatin1String("HEX"))
        return QStringLiteral("Bytes in hex digits, blanks allowed, e.g. \"FE 00 21 15 34\".");
    return QStringLiteral("A parameter as a profile names it, e.g. channel=20.");
}

int runSubcommand(const Subcommand &sub, const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(wrapped(QLatin1String(sub.summary) + QStringLiteral("\n\n")
                                             + QLatin1String(sub.details)));
    parser.addHelpOption();
    QList<const OptionRow *> offered;
    for (const OptionRow &row : optionRows()) {
        if (sub.options.contains(row.id)) {
            parser.addOption(row.option);
            offered.append(&row);
        }
    }
    for (const QString &name : QString::fromLatin1(sub.arguments).split(u' ', Qt::SkipEmptyParts))
        parser.addPositionalArgument(name, argumentHelp(name));

    const QStringList withProgram =
            QStringList { QStringLiteral("cc2530ctl ") + sub.name } + arguments;
    if (!parser.parse(withProgram)) {
        Console::err(parser.errorText());
        return sub.refusedCode;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // The parser names the program by its path; the usage line names the subcommand.
        QString help = parser.helpText().trimmed();
        const qsizetype programAt = help.indexOf(QCoreApplication::arguments().value(0));
        if (programAt >= 0 && programAt < help.indexOf(u'\n'))
            help.replace(programAt, QCoreApplication::arguments().value(0).size(),
                         QStringLiteral("cc2530ctl ") + QLatin1String(sub.name));
        Console::out(help);
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
        return sub.refusedCode;
    }
    for (const OptionRow *row : std::as_const(offered)) {
        const QString refusal = row->take(parser, row->option, options);
        if (!refusal.isEmpty()) {
            Console::err(refusal);
            return sub.refusedCode;
        }
    }
    // Subcommands that take no PORT first check their arguments themselves.
    if (needed > 0 && QLatin1String(sub.arguments).startsWith(QLatin1String("PORT"))) {
        const QStringList problems =
                argumentProblems(QLatin1String(sub.name), options.arguments.value(0), sub.file,
                                 options.arguments.value(1));
        for (const QString &problem : problems)
            Console::err(problem);
        if (!problems.isEmpty())
            return sub.refusedCode;
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
