// Feeds arbitrary bytes, as they could arrive from a socket, through the code page, message
// cutting, GetField and every parser of received messages.
#include "protocol/Codepage.h"
#include "protocol/Framing.h"
#include "protocol/Parsers.h"

#include <cstddef>
#include <cstdint>

using namespace zelk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = fromCodePage(bytes);
    if (toCodePage(text) != bytes)
        __builtin_trap(); // the code page must round-trip every byte

    const int index = size > 0 ? data[0] % 64 : 0;
    GetField(text, index, u':');
    GetField(text, index, u'~');

    const QDateTime now = QDateTime::currentDateTime();
    for (QStringView tag : {u"RETSERVERVERSION", u"RETINITEXT", u"ZELKCLIENTDATA",
                            u"RETSTATIONCALLABLES", u"RETALLCALLABLES"}) {
        if (const auto cut = cutMessage(text, openingTag(tag), closingTag(tag))) {
            if (cut->begin < 0 || cut->end > text.size() || cut->begin >= cut->end)
                __builtin_trap();
            parseServerVersion(cut->message);
            parseClientData(cut->message);
            parseStationCallables(cut->message);
            parseAllCallables(cut->message);
        }
    }
    if (const auto cut = cutMessage(text, openingTag(u"RETCALLLIST", u'~'),
                                    closingTag(u"RETCALLLIST", u'~')))
        parseCallList(cut->message, now);
    parseCallList(text, now);
    parseAllCallables(text);
    parseErrorReply(text);
    return 0;
}
