#include "server/MessageDecoder.h"

namespace zelk::server {

namespace {

constexpr char kFrame = '\xA4';
constexpr qsizetype kMaxTagLength = 64;

bool isTagChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

// These two close with the tag word alone: their body already ends with a separator.
bool closesWithoutSeparator(QByteArrayView tag)
{
    return tag == "REGISTERUPATEMACHINE" || tag == "POSTCALLABLESLIST";
}

// Does an opening tag ("TAG:" or "TAG~") start at `from`? Unknown when the data ends first.
std::optional<bool> opensAt(const QByteArray &buffer, qsizetype from)
{
    qsizetype i = from;
    while (i < buffer.size() && isTagChar(buffer[i]) && i - from <= kMaxTagLength)
        ++i;
    if (i == buffer.size())
        return std::nullopt;
    return i > from && isUpper(buffer[from]) && (buffer[i] == ':' || buffer[i] == '~');
}

} // namespace

MessageDecoder::MessageDecoder(qsizetype limit)
    : m_limit(limit)
{
}

void MessageDecoder::append(QByteArrayView bytes)
{
    m_buffer.append(bytes);
}

bool MessageDecoder::overflowed() const
{
    return m_buffer.size() + m_sinceMessage > m_limit;
}

Frame MessageDecoder::take(Frame::Kind kind, qsizetype length)
{
    Frame f;
    f.kind = kind;
    f.raw = m_buffer.left(length);
    m_buffer.remove(0, length);
    if (kind == Frame::Message)
        m_sinceMessage = 0;
    else
        m_sinceMessage += length;
    return f;
}

std::optional<Frame> MessageDecoder::next(Input input)
{
    // Line ends and blanks between messages mean nothing.
    qsizetype skip = 0;
    while (skip < m_buffer.size() && static_cast<unsigned char>(m_buffer[skip]) <= 32)
        ++skip;
    if (skip > 0) {
        m_sinceMessage += skip;
        m_buffer.remove(0, skip);
    }
    if (m_buffer.isEmpty())
        return std::nullopt;

    if (m_buffer[0] != kFrame) {
        const qsizetype nextFrame = m_buffer.indexOf(kFrame);
        if (nextFrame < 0 && input == MoreMayFollow)
            return std::nullopt;
        return take(Frame::Garbage, nextFrame < 0 ? m_buffer.size() : nextFrame);
    }

    // Opening tag: "¤" TAG separator.
    qsizetype i = 1;
    while (i < m_buffer.size() && isTagChar(m_buffer[i]) && i <= kMaxTagLength)
        ++i;
    if (i == m_buffer.size())
        return std::nullopt; // the tag word is still arriving
    const char separator = m_buffer[i];
    if (i == 1 || !isUpper(m_buffer[1]) || (separator != ':' && separator != '~')) {
        const qsizetype nextFrame = m_buffer.indexOf(kFrame, 1);
        if (nextFrame >= 0)
            return skipBroken(nextFrame, input);
        if (input == AtRest)
            return take(Frame::Malformed, m_buffer.size());
        return std::nullopt;
    }
    const QByteArray tag = m_buffer.mid(1, i - 1);
    const qsizetype bodyStart = i + 1;

    // The next "¤" must end this message's closing tag.
    const qsizetype end = m_buffer.indexOf(kFrame, bodyStart);
    if (end < 0)
        return std::nullopt;

    const qsizetype tagStart = end - tag.size();
    const bool tagMatches = tagStart >= i && QByteArrayView(m_buffer).sliced(tagStart, tag.size()) == tag;
    if (tagMatches) {
        qsizetype bodyEnd = tagStart;
        if (m_buffer[tagStart - 1] == separator)
            bodyEnd = tagStart - 1;
        else if (!closesWithoutSeparator(tag))
            bodyEnd = -1;
        if (bodyEnd >= 0) {
            Frame f = take(Frame::Message, end + 1);
            f.tag = tag;
            f.separator = separator;
            f.body = f.raw.mid(bodyStart, std::max<qsizetype>(0, bodyEnd - bodyStart));
            return f;
        }
    }

    return skipBroken(end, input);
}

// A broken message up to the "¤" at `end`: that "¤" either ends a wrong closing tag and
// goes with it, or opens the next message, which is kept.
std::optional<Frame> MessageDecoder::skipBroken(qsizetype end, Input input)
{
    const std::optional<bool> nextOpens = opensAt(m_buffer, end + 1);
    if (!nextOpens.has_value() && input == MoreMayFollow)
        return std::nullopt; // the next bytes decide
    return take(Frame::Malformed, nextOpens.value_or(false) ? end : end + 1);
}

} // namespace zelk::server
