#pragma once

#include <QByteArrayView>

#include <functional>
#include <optional>

// When a reply to a transmission is complete. The worker asks after every chunk it reads.
class ReplyEndRule
{
public:
    virtual ~ReplyEndRule() = default;

    // How long the first reply byte may take.
    virtual int firstByteTimeoutMs(QByteArrayView sent) const = 0;
    // None when the reply is complete; otherwise how long to wait for more bytes before it
    // counts as complete all the same.
    virtual std::optional<int> moreWaitMs(QByteArrayView sent, QByteArrayView reply,
                                          qint64 sinceFirstByteMs) const = 0;
};

// The windows' rule: a reply ends after 300 ms of silence, or 1000 ms after its first byte on
// a line that never falls silent.
class SilenceReplyEnd : public ReplyEndRule
{
public:
    int firstByteTimeoutMs(QByteArrayView sent) const override;
    std::optional<int> moreWaitMs(QByteArrayView sent, QByteArrayView reply,
                                  qint64 sinceFirstByteMs) const override;
};

// A reply ends as soon as it holds an intact frame that answers the last frame sent
// (ModuleCommand::isAnswerTo); without one it ends 1000 ms after its first byte.
class FrameReplyEnd : public ReplyEndRule
{
public:
    using FirstByteTimeout = std::function<int(QByteArrayView sent)>;

    // By default the first byte may take 1000 ms whatever was sent.
    explicit FrameReplyEnd(FirstByteTimeout firstByteTimeout = {});

    int firstByteTimeoutMs(QByteArrayView sent) const override;
    std::optional<int> moreWaitMs(QByteArrayView sent, QByteArrayView reply,
                                  qint64 sinceFirstByteMs) const override;

private:
    FirstByteTimeout m_firstByteTimeout;
};
