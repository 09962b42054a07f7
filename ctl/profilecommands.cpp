#include "commandline.h"
#include "commands.h"

#include "apply.h"
#include "console.h"
#include "hextext.h"
#include "interruptwatch.h"
#include "moduleclient.h"
#include "moduleprofile.h"
#include "profile.h"
#include "savefile.h"

#include <QFileInfo>

#include <optional>

namespace Ctl {

namespace {

struct Reading
{
    QByteArray reply;
    int exitCode = Done;
};

// Opens the port and reads the module once; the exit code says why when it fails.
Reading readModule(ModuleClient &client, const QString &port)
{
    if (!client.open(port)) {
        Console::err(client.failureText());
        return { {}, LinkFailed };
    }
    const auto reply = client.readDeviceInfo();
    if (!reply) {
        Console::err(client.failureText());
        return { {}, LinkFailed };
    }
    return { *reply, Done };
}

// The settings given as KEY=VALUE over a profile; none when one is refused.
std::optional<Profile> withSettings(Profile profile, const QStringList &texts)
{
    QStringList errors;
    const auto settings = ProfileFile::parseSettings(texts, &errors);
    for (const QString &error : std::as_const(errors))
        Console::err(error);
    if (!settings)
        return std::nullopt;
    for (const ProfileFile::Setting &setting : *settings) {
        if (!setting.note.isEmpty())
            Console::err(setting.note);
        profile.set(setting.key, setting.value);
    }
    return profile;
}

QString unknownText(const QString &raw)
{
    return QStringLiteral("unknown (%1)").arg(raw);
}

// A module's profile for a file: the keys whose bytes stand for no value are left out, each
// with a note on stderr.
QByteArray profileText(const QByteArray &reply)
{
    const Profile profile = ModuleProfile::fromReply(reply);
    for (const QString &key : profile.unknownKeys()) {
        Console::err(QStringLiteral("%1: unknown value %2 in the module, left out")
                             .arg(key, profile.unknown(key)));
    }
    return ProfileFile::write(profile);
}

QString outcomeText(const ProfileApply::Line &line)
{
    switch (line.outcome) {
    case ProfileApply::Outcome::Unchanged:
        return QStringLiteral("unchanged");
    case ProfileApply::Outcome::Verified:
        return QStringLiteral("written and verified");
    case ProfileApply::Outcome::Sent:
        return QStringLiteral("sent, not verified (wanted %1)").arg(line.wanted);
    case ProfileApply::Outcome::NotSent:
        return QStringLiteral("not sent (wanted %1)").arg(line.wanted);
    case ProfileApply::Outcome::Failed:
        break;
    }
    return QStringLiteral("FAILED: ") + ProfileApply::failureText(line);
}

int apply(const Options &options, const Profile &wanted)
{
    InterruptWatch interrupt;
    QObject::connect(&interrupt, &InterruptWatch::interrupted, [] {
        Console::err(QStringLiteral("%1: finishing the exchange in progress (the same signal "
                                    "again ends at once)")
                             .arg(InterruptWatch::signalName()));
    });
    ModuleClient client(options.gapMs);
    const Reading reading = readModule(client, options.arguments.value(0));
    if (reading.exitCode != Done)
        return InterruptWatch::requested() ? InterruptWatch::exitCode() : reading.exitCode;

    if (options.dryRun) {
        const QList<ModuleProfile::WriteStep> steps =
                ProfileApply::plan(ModuleProfile::fromReply(reading.reply), wanted);
        for (const ModuleProfile::WriteStep &step : steps) {
            const QString what = step.key.isEmpty() ? QStringLiteral("clear network")
                                                    : step.key + u'=' + step.value;
            Console::out(QStringLiteral("%1  %2").arg(HexText::spaced(step.frame).trimmed(), what));
        }
        Console::out(QStringLiteral("dry run: %1 frames, nothing written").arg(steps.size()));
        return InterruptWatch::requested() ? InterruptWatch::exitCode() : Done;
    }

    ProfileApply engine(client);
    engine.setStopRequest(&InterruptWatch::requested);
    engine.setStepReport(&Console::out);
    const ProfileApply::End end = engine.run(reading.reply, wanted, options.save);
    QMap<ProfileApply::Outcome, int> counts;
    for (const ProfileApply::Line &line : engine.lines()) {
        Console::out(QStringLiteral("%1: %2").arg(line.key, outcomeText(line)));
        ++counts[line.outcome];
    }
    Console::out(QStringLiteral("%1 written and verified, %2 unchanged, %3 failed, %4 sent but "
                                "not verified, %5 not sent")
                         .arg(counts.value(ProfileApply::Outcome::Verified))
                         .arg(counts.value(ProfileApply::Outcome::Unchanged))
                         .arg(counts.value(ProfileApply::Outcome::Failed))
                         .arg(counts.value(ProfileApply::Outcome::Sent))
                         .arg(counts.value(ProfileApply::Outcome::NotSent)));
    if (engine.networkLeftUncleared())
        Console::err(ProfileApply::networkUnclearedText());
    if (end == ProfileApply::End::LinkFailed)
        Console::err(client.failureText() + QStringLiteral("; stopped after the lines above"));
    if (InterruptWatch::requested()) {
        Console::err(QStringLiteral("stopped by %1%2")
                             .arg(InterruptWatch::signalName(),
                                  engine.clearedOnStop()
                                          ? QStringLiteral("; the clear-network frame was sent "
                                                           "after node type, channel or PAN ID")
                                          : QString()));
        return InterruptWatch::exitCode();
    }
    if (end == ProfileApply::End::LinkFailed)
        return LinkFailed;
    return engine.allVerified() ? Done : Refused;
}

} // namespace

std::optional<Profile> loadProfile(const QString &path)
{
    QStringList errors;
    QStringList notes;
    const auto profile = ProfileFile::load(path, &errors, &notes);
    for (const QString &line : errors + notes)
        Console::err(QStringLiteral("%1: %2").arg(path, line));
    return profile;
}

int readCommand(const Options &options)
{
    ModuleClient client(options.gapMs);
    const Reading reading = readModule(client, options.arguments.value(0));
    if (reading.exitCode != Done)
        return reading.exitCode;
    if (options.json) {
        Console::out(QString::fromUtf8(profileText(reading.reply)).trimmed());
        return Done;
    }
    const Profile profile = ModuleProfile::fromReply(reading.reply);
    Console::out(QStringLiteral("mac\t%1").arg(profile.module.mac));
    Console::out(QStringLiteral("firmware\t%1").arg(profile.module.firmware));
    const QList<ModuleProfile::Reading> readings = ModuleProfile::readings(reading.reply);
    for (const ModuleProfile::Reading &r : readings) {
        Console::out(QStringLiteral("%1\t%2\t%3")
                             .arg(r.key, r.value.isEmpty() ? unknownText(r.raw) : r.value,
                                  r.windowText.isEmpty() ? QStringLiteral("-") : r.windowText));
    }
    return Done;
}

int backupCommand(const Options &options)
{
    ModuleClient client(options.gapMs);
    const Reading reading = readModule(client, options.arguments.value(0));
    if (reading.exitCode != Done)
        return reading.exitCode;
    const QString path = options.arguments.value(1);
    const bool existed = QFileInfo::exists(path);
    const QString failure = saveWhole(path, profileText(reading.reply));
    if (!failure.isEmpty()) {
        Console::err(QStringLiteral("cannot write %1: %2; nothing saved%3")
                             .arg(path, failure,
                                  existed ? QStringLiteral(", the file is as it was") : QString()));
        return Trouble;
    }
    Console::err(
            QStringLiteral("saved the profile of %1 to %2").arg(options.arguments.value(0), path));
    return Done;
}

int diffCommand(const Options &options)
{
    const auto wanted = loadProfile(options.arguments.value(1));
    if (!wanted)
        return Trouble;
    ModuleClient client(options.gapMs);
    const Reading reading = readModule(client, options.arguments.value(0));
    if (reading.exitCode != Done)
        return Trouble;
    const QList<ModuleProfile::Difference> differences =
            ModuleProfile::differences(ModuleProfile::fromReply(reading.reply), *wanted);
    for (const ModuleProfile::Difference &d : differences) {
        Console::out(
                QStringLiteral("%1: module %2, file %3")
                        .arg(d.key,
                             d.moduleValue.isEmpty() ? unknownText(d.moduleRaw) : d.moduleValue,
                             d.wantedValue));
    }
    return differences.isEmpty() ? Done : Differs;
}

int restoreCommand(const Options &options)
{
    // Every fault is reported, those of the --set values too when the file is refused.
    const auto file = loadProfile(options.arguments.value(1));
    const auto wanted = withSettings(file.value_or(Profile()), options.sets);
    if (!file || !wanted)
        return Refused;
    return apply(options, *wanted);
}

int setCommand(const Options &options)
{
    const auto wanted = withSettings(Profile(), options.arguments.mid(1));
    if (!wanted)
        return Refused;
    return apply(options, *wanted);
}

} // namespace Ctl
