#include "linksettings.h"

LinkSettings LinkSettings::nodeConfig()
{
    return {};
}

LinkSettings LinkSettings::remoteConfig()
{
    LinkSettings settings;
    settings.routeFrameReplies = false;
    settings.signalReplyTimeout = false;
    settings.fixedBaudRate = false;
    return settings;
}
