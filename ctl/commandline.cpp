#include "commandline.h"

#include "arguments.h"
#include "commands.h"
#include "console.h"
#include "remotecatalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <functional>

namespace Ctl {

namespace {

// Milliseconds a write may go unanswered before the next one goes out. The module answers a
// write within a few milliseconds when it answers at all; the read-back proves the write.
constexpr int DefaultGapMs = 100;

// Every option any subcommand takes; a subcommand lists those it offers.
enum class Opt {
    Json,
    Frame,
    Set,
    Save,
    DryRun,
    GapMs,
    Ledger,
    Assign,
    Watch,
    To,
    Baud,
    PauseMs,
    ListenMs,
    PrintOnly,
};

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

// A whole number of milliseconds from 0 to maximum into a field of Options.
Take milliseconds(int Options::*field, int maximum)
{
    return [field, maximum](const QCommandLineParser &parser, const QCommandLineOption &option,
                            Options &options) {
        bool ok = false;
        options.*field = parser.value(option).toInt(&ok);
        return ok && options.*field >= 0 && options.*field <= maximum
                ? QString()
                : QStringLiteral("--%1: expected 0 to %2 milliseconds")
                          .arg(option.names().constFirst())
                          .arg(maximum);
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
        { Opt::To,
          { QStringLiteral("to"),
            QStringLiteral("The nodes: short addresses and ranges, as 0001,0005-0008 (in this "
                           "order, each once), or @FILE for every shortAddress of a provisioning "
                           "ledger, @FILE:KEY=VALUE for those of its rows whose KEY is VALUE."),
            QStringLiteral("ADDRESSES") },
          [](const auto &parser, const auto &option, Options &options) {
              options.toSet = parser.isSet(option);
              options.to = parser.value(option);
              return QString();
          } },
        { Opt::Baud,
          { QStringLiteral("baud"),
            QStringLiteral("The line's baud rate: %1 (default 38400).")
                    .arg(RemoteCatalogue::baudRates().join(QStringLiteral(", "))),
            QStringLiteral("RATE"), QStringLiteral("38400") },
          [](const auto &parser, const auto &option, Options &options) {
              const QStringList rates = RemoteCatalogue::baudRates();
              options.baud = parser.value(option).toInt();
              return rates.contains(parser.value(option))
                      ? QString()
                      : QStringLiteral("--baud: expected one of %1")
                                .arg(rates.join(QStringLiteral(", ")));
          } },
        { Opt::PauseMs,
          { QStringLiteral("gap-ms"),
            QStringLiteral("Pause after each node's reply before the next frame (default 0)."),
            QStringLiteral("MS"), QStringLiteral("0") },
          milliseconds(&Options::gapMs, 3600000) },
        { Opt::ListenMs,
          { QStringLiteral("listen"),
            QStringLiteral("After the last frame, go on printing what comes for MS more "
                           "(node-scan results, late replies)."),
            QStringLiteral("MS"), QStringLiteral("0") },
          milliseconds(&Options::listenMs, 86400000) },
        { Opt::PrintOnly,
          { QStringLiteral("dry-run"),
            QStringLiteral("Print the frames, one line per node; open nothing, send nothing.") },
          flag(&Options::dryRun) },
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

const char RemoteDetails[] =
        "COMMAND and its arguments, as the remote window's commands:\n"
        "  write KEY VALUE          a parameter, KEY and VALUE below\n"
        "  write io PIN FUNCTION    a pin's function: none, switch-input,\n"
        "                           level-output, pwm-output, 4-20ma-input,\n"
        "                           0-5v-input, ds18b20, as far as the pin offers it\n"
        "  read KEY                 KEY, or io (the pin functions' item, offset 0)\n"
        "  erase                    erase the network information\n"
        "  level PIN high|low       level output\n"
        "  pwm PIN DUTY             PWM output; PIN one of PM1 PM2 PM3 PM4, DUTY hex\n"
        "  serial HEX               serial data\n"
        "  restart                  remote restart\n"
        "  collect                  data collection\n"
        "  scan-start, scan-stop    the node scan, to the attached module: no --to\n"
        "PIN is one of PM1 PM2 AD1 AD2 AD3 AD4 PM3 PM4.\n\n"
        "KEY and VALUE: nodeType coordinator|router|enddevice; channel 11 to 26; sleepMode "
        "auto|io; uartBaudRate 9600|19200|38400|57600|115200; uartParity none|odd|even; "
        "uartStopBits 1|2; pwmDivider 1|8|32|128; workMode transparent|api|modbus|digiapi. "
        "These take hex digits, sent in the order written, as the window sends them: panId, "
        "shortAddress, destinationAddress, autoSendTime (4 digits), extendedPanId (16), "
        "pwmFrequency (8: the frequency in Hz, most significant first; not 0), txPower, "
        "sleepCycle, workTime, uartTimeout (2). Blanks between byte pairs are allowed.\n\n"
        "Each frame is the one the remote window builds for the same choices. One exchange per "
        "node, in order: the first reply byte within 1000 ms, the reply ends after 300 ms of "
        "silence. Everything is checked before the port is opened.\n\n"
        "Prints one line per event, the time of day to the millisecond first:\n"
        "  TIME ADDRESS -> FE ..            a frame sent\n"
        "  TIME ADDRESS <- FE .. [intact]   what came back, cut by the frame rule, a\n"
        "                                   line a piece: [intact], [bad check byte],\n"
        "                                   [cut short], or [bytes] for no frame\n"
        "  TIME ADDRESS no reply            nothing within 1000 ms\n"
        "ADDRESS is \"-\" for the node scan and for bytes that come between exchanges. The "
        "module's replies to remote commands are printed, not interpreted. --json: one JSON "
        "object per line with time, address, event (sent, received, no reply), bytes and "
        "kind. --dry-run prints ADDRESS and the frame.\n\n"
        "Exit codes: 0 every frame sent; 1 refused input (an unknown command, key, word or "
        "pin, a function the pin does not offer, wrong hex, a bad address or range, an "
        "unreadable ledger, a frame longer than 255 payload bytes: nothing is sent); 2 the "
        "port could not be opened, or the line was lost (the lines until then are printed).";

const char MonitorDetails[] =
        "Prints one line per piece of what the module sends, cut by the frame rule, as the "
        "remote window's log receives it:\n"
        "  TIME <- FE .. [intact]\n"
        "with [bad check byte], [cut short] or [bytes] for what is no intact frame; a frame "
        "that arrives in several deliveries is one line. The time of day is to the "
        "millisecond; each line is written as it comes. --json: one JSON object per line with "
        "time, event, bytes and kind.\n\n"
        "SIGINT or SIGTERM ends it: what is held back is printed, and it exits 0.\n\n"
        "Exit codes: 0 ended by SIGINT or SIGTERM; 1 wrong usage, or PORT is not a serial port; "
        "2 the port could not be opened, or the line was lost.";

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
        { "remote",
          "PORT COMMAND [ARGUMENT...]",
          "Send a remote command through the attached module, one frame per node, and print "
          "what comes back.",
          RemoteDetails,
          { Opt::To, Opt::Baud, Opt::PauseMs, Opt::ListenMs, Opt::PrintOnly, Opt::Json },
          -2,
          FileUse::None,
          Refused,
          remoteCommand },
        { "monitor",
          "PORT",
          "Print everything the attached module sends, until interrupted.",
          MonitorDetails,
          { Opt::Baud, Opt::Json },
          1,
          FileUse::None,
          Refused,
          monitorCommand },
    };
    return list;
}

QString programHelp()
{
    QString text = QStringLiteral(
            "Usage: cc2530ctl SUBCOMMAND [options] [arguments]\n\n"
            "Backs up, restores, clones and verifies the configuration of "
            "a module attached to a serial port, sends remote commands "
            "to the nodes of its network and shows what it sends.\n\nSubcommands:\n");
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
    if (name == QLatin1String("COMMAND"))
        return QStringLiteral("The remote command: write, read, erase, level, pwm, serial, "
                              "restart, collect, scan-start or scan-stop.");
    if (name == QLatin1String("[ARGUMENT...]"))
        return QStringLiteral("What the command takes (see above).");
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
