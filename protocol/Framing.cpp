#include "protocol/Framing.h"

namespace zelk {

QStringView trimControls(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

QString GetField(QStringView text, int index, QChar separator)
{
    if (index < 0)
        return {};
    qsizetype start = 0;
    for (int n = 0; n < index; ++n) {
        const qsizetype next = text.indexOf(separator, start);
        if (next < 0)
            return {}; // fewer separators than asked for (the appended one ends the last field)
        start = next + 1;
    }
    qsizetype stop = text.indexOf(separator, start);
    if (stop < 0)
        stop = text.size();
    return trimControls(text.sliced(start, stop - start)).toString();
}

std::optional<CutMessage> cutMessage(QStringView text, QStringView openTag, QStringView closeTag)
{
    const qsizetype begin = text.indexOf(openTag);
    if (begin < 0)
        return std::nullopt;
    // The closing tag shares its separator with the last field, so it may start inside the
    // opening tag's last character only for an empty message; search from there.
    const qsizetype close = text.indexOf(closeTag, begin + openTag.size() - 1);
    if (close < 0)
        return std::nullopt;
    CutMessage cut;
    cut.message = text.sliced(begin, close + 1 - begin).toString();
    cut.begin = begin;
    cut.end = close + closeTag.size();
    return cut;
}

QString openingTag(QStringView tag, QChar separator)
{
    return kFrameChar + tag.toString() + separator;
}

QString closingTag(QStringView tag, QChar separator)
{
    return separator + tag.toString() + kFrameChar;
}

} // namespace zelk
