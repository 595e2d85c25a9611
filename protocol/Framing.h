#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace zelk {

inline constexpr QChar kFrameChar = QChar(0x00A4); // "¤"
inline constexpr QStringView kDataStart = u"#DATASTART#";
inline constexpr QStringView kDataEnd = u"#DATAEND#";
inline constexpr QStringView kErrorReply = u"ERROR:";

// Field `index` (from 0) of `text` split at `separator`, trimmed of codes 0-32 at both ends.
// Field 0 is the text before the first separator; a field past the last separator is empty.
QString GetField(QStringView text, int index, QChar separator);

// Trims characters with codes 0-32 from both ends, as GetField does.
QStringView trimControls(QStringView text);

// One message located in a received text.
struct CutMessage
{
    QString message;     // the opening tag up to and including the first character of the closing tag
    qsizetype begin = 0; // where the opening tag starts
    qsizetype end = 0;   // one past the end of the closing tag: [begin, end) is removed from the text
};

// Finds the first opening tag and the first closing tag after it. Returns nothing when the
// opening tag is absent or its closing tag has not (yet) arrived.
std::optional<CutMessage> cutMessage(QStringView text, QStringView openTag, QStringView closeTag);

// "¤" + tag + separator, and separator + tag + "¤".
QString openingTag(QStringView tag, QChar separator = u':');
QString closingTag(QStringView tag, QChar separator = u':');

} // namespace zelk
