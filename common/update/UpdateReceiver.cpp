#include "common/update/UpdateReceiver.h"

#include "protocol/Codepage.h"
#include "protocol/Framing.h"

namespace zelk {

namespace {

// The markers in the code page, built at run time so that this program's own bytes never
// hold them in the form the receiver looks for.
struct Markers
{
    QByteArray dataStart = toCodePage(kDataStart);
    QByteArray dataEnd = toCodePage(kDataEnd);
    QByteArray fileHead = toCodePage(kDataStart) + toCodePage(openingTag(u"RETNEWCLIENT"));
    QByteArray fileTail = toCodePage(closingTag(u"RETNEWCLIENT")) + toCodePage(kDataEnd);
};

const Markers &markers()
{
    static const Markers m;
    return m;
}

bool isBlank(QByteArrayView bytes)
{
    return bytes.trimmed().isEmpty();
}

// The length of the longest end of data that is the beginning of marker (shorter than it).
qsizetype heldBack(QByteArrayView data, QByteArrayView marker)
{
    for (qsizetype n = qMin(data.size(), marker.size() - 1); n > 0; --n) {
        if (marker.startsWith(data.last(n)))
            return n;
    }
    return 0;
}

} // namespace

void UpdateReceiver::reset()
{
    m_DataNotReady = false;
    m_DataIsNewFile = false;
    m_buffer.clear();
    m_held.clear();
    m_searchFrom = 0;
}

QList<UpdateReceiver::Reply> UpdateReceiver::feed(QByteArrayView block)
{
    const Markers &mk = markers();
    QList<Reply> replies;
    QByteArray rest = m_held + QByteArray(block.data(), block.size());
    m_held.clear();

    while (!rest.isEmpty() || m_DataNotReady) {
        if (!m_DataNotReady) {
            if (isBlank(rest))
                break;
            const qsizetype start = rest.indexOf(mk.dataStart);
            if (start < 0) {
                // A read may end in the first part of "#DATASTART#": that part waits for the next read.
                const qsizetype held = heldBack(rest, mk.dataStart);
                m_held = rest.last(held);
                rest.chop(held);
                if (!isBlank(rest))
                    replies.append({false, rest});
                break;
            }
            // Text in front of an envelope is a reply of its own, not part of what follows.
            if (start > 0 && !isBlank(QByteArrayView(rest).first(start)))
                replies.append({false, rest.first(start)});
            m_buffer = rest.sliced(start);
            rest.clear();
            m_DataNotReady = true;
            m_DataIsNewFile = false;
            m_searchFrom = 0;
        } else {
            m_buffer += rest;
            rest.clear();
        }

        if (!m_DataIsNewFile) {
            // Decide between a file and a text as soon as the bytes after "#DATASTART#" show it,
            // also when a file and its end arrive in one read.
            if (m_buffer.startsWith(mk.fileHead)) {
                m_DataIsNewFile = true;
                m_buffer.remove(0, mk.fileHead.size());
                m_searchFrom = 0;
            } else if (mk.fileHead.startsWith(m_buffer)) {
                break; // not yet known
            } else {
                const qsizetype end = m_buffer.indexOf(mk.dataEnd, m_searchFrom);
                if (end < 0) {
                    m_searchFrom = qMax<qsizetype>(0, m_buffer.size() - mk.dataEnd.size() + 1);
                    break;
                }
                const qsizetype after = end + mk.dataEnd.size();
                replies.append({false, m_buffer.first(after)});
                rest = m_buffer.sliced(after);
                reset();
                continue;
            }
        }

        const qsizetype end = m_buffer.indexOf(mk.fileTail, m_searchFrom);
        if (end < 0) {
            m_searchFrom = qMax<qsizetype>(0, m_buffer.size() - mk.fileTail.size() + 1);
            break;
        }
        replies.append({true, m_buffer.first(end)});
        rest = m_buffer.sliced(end + mk.fileTail.size());
        reset();
    }
    return replies;
}

} // namespace zelk
