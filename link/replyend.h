#pragma once

#include <QByteArrayView>

#include <atomic>
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

// The frame rule of our own exchanges with the attached module (cc2530ctl's, nodeconfig's
// export and import): the device-information read may take ReadTimeoutMs to begin, a write
// the gap, since the module's answers to writes are not documented (the read-back proves a
// write). Once the module has answered a write, every write waits as long as a read for its
// answer, so that a module that answers late is never sent frames faster than it works them
// off; save and restart keeps the gap, as the reads after it see the restart. One rule per
// module: it learns from the replies it ends.
class ModuleReplyEnd : public FrameReplyEnd
{
public:
    static constexpr int ReadTimeoutMs = 1000;
    static constexpr int DefaultGapMs = 100;

    explicit ModuleReplyEnd(int gapMs = DefaultGapMs);

    int firstByteTimeoutMs(QByteArrayView sent) const override;
    std::optional<int> moreWaitMs(QByteArrayView sent, QByteArrayView reply,
                                  qint64 sinceFirstByteMs) const override;

private:
    const int m_gapMs;
    // Set by the worker thread.
    mutable std::atomic_bool m_answersWrites { false };
};
