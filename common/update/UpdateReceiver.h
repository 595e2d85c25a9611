#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace zelk {

// Assembles the replies of the update server from the reads of its connection. A read that
// holds "#DATASTART#" opens an envelope, which may span several reads; data outside an
// envelope is one reply per read. An envelope that opens with RETNEWCLIENT carries the raw
// bytes of a new executable, which end only at ":RETNEWCLIENT¤#DATAEND#": the bytes of a
// program may well hold "#DATAEND#" on their own. Markers are searched across reads, so a
// marker split between two reads is still found.
class UpdateReceiver
{
public:
    struct Reply
    {
        bool isFile = false; // bytes of a new executable; otherwise a text reply in the code page
        QByteArray bytes;
    };

    // Takes one read; returns the replies it completed, in order.
    QList<Reply> feed(QByteArrayView block);
    // Drops whatever was being collected (a new check, a download cut off by its time limit).
    void reset();

    // A reply spanning several reads is being collected.
    bool DataNotReady() const { return m_DataNotReady; }
    // The reply being collected is a new executable.
    bool DataIsNewFile() const { return m_DataIsNewFile; }
    qsizetype collected() const { return m_buffer.size(); }

private:
    bool m_DataNotReady = false;
    bool m_DataIsNewFile = false;
    QByteArray m_buffer;
    QByteArray m_held; // the end of a read outside an envelope that may begin "#DATASTART#"
    qsizetype m_searchFrom = 0; // where the search for the end marker goes on
};

} // namespace zelk
