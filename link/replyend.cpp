#include "replyend.h"

#include "commandframe.h"
#include "modulecommands.h"

#include <QtGlobal>

#include <utility>

namespace {

constexpr int FirstReplyByteTimeoutMs = 1000;
constexpr int ReplySilenceMs = 300;
// A line that never falls silent (a module sending RSSI reports every 100 ms) would otherwise
// hold the exchange, and every transmission after it, for ever.
constexpr int ReplyCollectionLimitMs = 1000;

int remainingOfLimit(qint64 sinceFirstByteMs)
{
    return int(qMax(qint64(0), ReplyCollectionLimitMs - sinceFirstByteMs));
}

// The last frame of a transmission (a parameter write may carry the clear-network frame).
QByteArrayView lastFrame(QByteArrayView sent)
{
    QByteArrayView last;
    const QList<CommandFrame::Segment> segments = CommandFrame::segments(sent);
    for (const CommandFrame::Segment &segment : segments) {
        if (segment.kind == CommandFrame::Segment::Frame)
            last = segment.bytes;
    }
    return last;
}

} // namespace

int SilenceReplyEnd::firstByteTimeoutMs(QByteArrayView) const
{
    return FirstReplyByteTimeoutMs;
}

std::optional<int> SilenceReplyEnd::moreWaitMs(QByteArrayView, QByteArrayView,
                                               qint64 sinceFirstByteMs) const
{
    return qMin(remainingOfLimit(sinceFirstByteMs), ReplySilenceMs);
}

FrameReplyEnd::FrameReplyEnd(FirstByteTimeout firstByteTimeout)
    : m_firstByteTimeout(std::move(firstByteTimeout))
{
}

int FrameReplyEnd::firstByteTimeoutMs(QByteArrayView sent) const
{
    return m_firstByteTimeout ? m_firstByteTimeout(sent) : FirstReplyByteTimeoutMs;
}

std::optional<int> FrameReplyEnd::moreWaitMs(QByteArrayView sent, QByteArrayView reply,
                                             qint64 sinceFirstByteMs) const
{
    const QByteArrayView request = lastFrame(sent);
    if (!request.isEmpty()) {
        const QList<CommandFrame::Segment> segments = CommandFrame::segments(reply);
        for (const CommandFrame::Segment &segment : segments) {
            if (segment.kind == CommandFrame::Segment::Frame
                && ModuleCommand::isAnswerTo(request, segment.bytes))
                return std::nullopt;
        }
    }
    return remainingOfLimit(sinceFirstByteMs);
}

ModuleReplyEnd::ModuleReplyEnd(int gapMs)
    : m_gapMs(gapMs)
{
}

int ModuleReplyEnd::firstByteTimeoutMs(QByteArrayView sent) const
{
    if (sent == ModuleCommand::readDeviceInfoFrame())
        return ReadTimeoutMs;
    if (sent == ModuleCommand::saveAndRestartFrame())
        return m_gapMs;
    return m_answersWrites ? ReadTimeoutMs : m_gapMs;
}

std::optional<int> ModuleReplyEnd::moreWaitMs(QByteArrayView sent, QByteArrayView reply,
                                              qint64 sinceFirstByteMs) const
{
    // An answer to a write may be the late answer to the write before (all NV writes are
    // answered alike): no matter, the read-back proves what the module holds. Frames that
    // answer nothing sent (reports) teach nothing.
    const std::optional<int> wait = FrameReplyEnd::moreWaitMs(sent, reply, sinceFirstByteMs);
    if (!wait && sent != ModuleCommand::readDeviceInfoFrame())
        m_answersWrites = true;
    return wait;
}
