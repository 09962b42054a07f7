#include "moduleprofile.h"

#include "catalogue.h"
#include "deviceinfo.h"
#include "modulecommands.h"

#include <algorithm>

namespace ModuleProfile {

namespace {

WriteStep clearNetworkStep()
{
    return { QString(), QString(), ModuleCommand::clearNetworkFrame(), true };
}

} // namespace

Profile fromReply(QByteArrayView frame)
{
    const DeviceInfoReply::DeviceInfo info = DeviceInfoReply::decode(frame);
    Profile profile;
    profile.module = { info.macAddr, info.version };
    for (const Reading &reading : readings(frame)) {
        if (reading.value.isEmpty())
            profile.setUnknown(reading.key, reading.raw);
        else
            profile.set(reading.key, reading.value);
    }
    return profile;
}

QList<Reading> readings(QByteArrayView frame)
{
    const DeviceInfoReply::RawFields raw = DeviceInfoReply::rawFields(frame);
    const DeviceInfoReply::DeviceInfo info = DeviceInfoReply::decode(frame);
    QList<Reading> result;
    for (const ProfileCatalogue::Entry &entry : ProfileCatalogue::entries()) {
        result.append({ entry.key, ProfileCatalogue::read(entry, raw, info).value_or(QString()),
                        ProfileCatalogue::rawText(entry, raw),
                        ProfileCatalogue::shownText(entry, info) });
    }
    return result;
}

QList<Difference> differences(const Profile &module, const Profile &wanted)
{
    QList<Difference> result;
    for (const QString &key : wanted.keys()) {
        if (!module.contains(key) || module.value(key) != wanted.value(key))
            result.append({ key, module.value(key), wanted.value(key), module.unknown(key) });
    }
    return result;
}

QList<WriteStep> writePlan(const QList<Difference> &differences, ClearNetwork clear)
{
    QList<WriteStep> steps;
    for (const ProfileCatalogue::Entry &entry : ProfileCatalogue::entries()) {
        for (const Difference &difference : differences) {
            if (difference.key != entry.key)
                continue;
            steps.append({ entry.key, difference.wantedValue,
                           ProfileCatalogue::frame(entry, difference.wantedValue),
                           entry.changesNetwork });
            if (entry.changesNetwork && clear == ClearNetwork::AfterEach)
                steps.append(clearNetworkStep());
        }
    }
    const bool changesNetwork = std::any_of(steps.begin(), steps.end(),
                                            [](const WriteStep &s) { return s.changesNetwork; });
    if (changesNetwork && clear == ClearNetwork::OnceAtEnd)
        steps.append(clearNetworkStep());
    return steps;
}

QList<Transmission> transmissions(const QList<WriteStep> &plan)
{
    QList<Transmission> result;
    for (const WriteStep &step : plan) {
        if (step.key.isEmpty() && !result.isEmpty())
            result.last().bytes += step.frame;
        else
            result.append({ step.key, step.frame });
    }
    return result;
}

} // namespace ModuleProfile
