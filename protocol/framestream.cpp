#include "framestream.h"

namespace {

using CommandFrame::Reading;
using CommandFrame::Segment;

bool isUnfinishedCandidate(QByteArrayView bytes, qsizetype at)
{
    return quint8(bytes.at(at)) == CommandFrame::StartByte
            && CommandFrame::read(bytes.sliced(at)).status == Reading::NeedMore;
}

// True when the piece at the start of bytes may still change with more bytes: it begins an
// unfinished frame, or it is a whole frame with a wrong check byte that holds the start of an
// unfinished one (which would win over it, were it intact).
bool mayChange(QByteArrayView bytes)
{
    if (quint8(bytes.at(0)) != CommandFrame::StartByte)
        return false;
    const Reading reading = CommandFrame::read(bytes);
    if (reading.status == Reading::NeedMore)
        return true;
    if (reading.intact)
        return false;
    for (qsizetype at = 1; at < reading.length; ++at) {
        if (isUnfinishedCandidate(bytes, at))
            return true;
    }
    return false;
}

} // namespace

QList<FrameStream::Piece> FrameStream::feed(QByteArrayView bytes)
{
    m_held.append(bytes);
    QList<Piece> pieces;
    qsizetype done = 0;
    const QList<Segment> segments = CommandFrame::segments(m_held);
    for (const Segment &segment : segments) {
        const qsizetype at = segment.bytes.data() - m_held.constData();
        if (mayChange(QByteArrayView(m_held).sliced(at)))
            break;
        pieces.append({ segment.kind, segment.bytes.toByteArray() });
        done = at + segment.bytes.size();
    }
    m_held.remove(0, done);
    return pieces;
}

QList<FrameStream::Piece> FrameStream::flush()
{
    QList<Piece> pieces;
    const QList<Segment> segments = CommandFrame::segments(m_held);
    for (const Segment &segment : segments)
        pieces.append({ segment.kind, segment.bytes.toByteArray() });
    m_held.clear();
    return pieces;
}
