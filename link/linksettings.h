#pragma once

#include "replyend.h"

#include <memory>

// What sets one program's worker apart from another's.
struct LinkSettings
{
    // Replies to command frames are signalled as comRecive; with this off, every reply goes
    // the way of other data (comdelayout).
    bool routeFrameReplies = true;
    // A reply that never began is signalled as other data (with rxData empty).
    bool signalReplyTimeout = true;
    // The line always runs at 38400; baud-rate changes are ignored.
    bool fixedBaudRate = true;
    std::shared_ptr<const ReplyEndRule> replyEnd = std::make_shared<SilenceReplyEnd>();

    static LinkSettings nodeConfig();
    static LinkSettings remoteConfig();
};
