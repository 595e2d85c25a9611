#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace zelk::server {

// One unit cut from a client's byte stream.
struct Frame
{
    enum Kind {
        Message,   // a complete, well-framed message
        Malformed, // starts with "¤" but its tag word or closing tag is wrong
        Garbage,   // bytes outside any message
    };
    Kind kind = Message;
    QByteArray tag;      // the tag word (Message only)
    char separator = ':';
    QByteArray body;     // the fields between the tags, in the code page (Message only)
    QByteArray raw;      // the bytes taken from the stream
};

// Server-side framing of the text protocol. Messages may arrive split over any number of
// reads or several in one read. "¤" never occurs inside a field, so every "¤" is either
// the start of an opening tag or the end of a closing tag, and a broken message can be
// skipped without losing the one after it.
class MessageDecoder
{
public:
    explicit MessageDecoder(qsizetype limit = 1024 * 1024);

    enum Input {
        MoreMayFollow, // the stream goes on: wait where the next bytes could decide
        AtRest,        // nothing more has come for a while: what is there is all there is
    };

    void append(QByteArrayView bytes);
    // The next frame, or nothing until more bytes arrive. Bytes outside a message are held
    // until a "¤" follows them (or the input rests), so that how the stream was split into
    // reads never changes the frames.
    std::optional<Frame> next(Input input = MoreMayFollow);
    // More than `limit` bytes have arrived since the last complete message.
    bool overflowed() const;
    qsizetype pending() const { return m_buffer.size(); }

private:
    Frame take(Frame::Kind kind, qsizetype length);
    std::optional<Frame> skipBroken(qsizetype end, Input input);

    QByteArray m_buffer;
    qsizetype m_limit;
    qsizetype m_sinceMessage = 0; // bytes consumed as garbage since the last message
};

} // namespace zelk::server
