#pragma once

#include "commandframe.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Bytes that arrive in deliveries of any size, cut by the frame rule into the same pieces as
// CommandFrame::segments cuts them all at once: a frame split across two deliveries comes out
// whole. What may still grow into a frame (an unfinished candidate, or a damaged one holding
// an unfinished candidate that could turn out intact) is held back until more bytes come or
// the caller flushes it.
class FrameStream
{
public:
    struct Piece
    {
        CommandFrame::Segment::Kind kind = CommandFrame::Segment::Other;
        QByteArray bytes;
    };

    // The pieces that are final once these bytes are added, in order.
    QList<Piece> feed(QByteArrayView bytes);
    // Everything held back, cut as it stands (unfinished frames as Truncated).
    QList<Piece> flush();
    bool isHolding() const { return !m_held.isEmpty(); }

private:
    QByteArray m_held;
};
