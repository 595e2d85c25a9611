#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zelk {

// Turns the reads of a connection into blocks for the dispatcher. A block is either a
// whole envelope ("#DATASTART#" ... "#DATAEND#", markers removed) collected over several
// reads, or the messages one read brought outside an envelope. The stream is followed
// marker by marker, so a read that ends one envelope and opens the next loses neither, and
// several envelopes in one read come out one by one, in order. A message cut in two by TCP
// outside an envelope is not lost either: its beginning is held back and put in front of
// the next read.
class IncomingAssembler
{
public:
    // More than this held back or collected means a broken peer: it is dropped.
    static constexpr qsizetype kHoldLimit = 1 << 20;

    // The blocks this read completes, in stream order.
    QStringList takeBlocks(const QString &read);
    // The same blocks joined into one, for a caller that dispatches once per read.
    std::optional<QString> feed(const QString &read);

    bool collecting() const { return m_datanotready; }
    qsizetype heldBack() const { return m_heldBack.size(); }
    void reset();

private:
    QString takeIncompleteTail(QString &block) const;
    // Outside an envelope: loose text up to the next "#DATASTART#"; returns what follows it.
    QString takeLoose(QString &text, QString &loose);
    // Inside an envelope: collects up to "#DATAEND#"; returns what follows it, or nothing
    // while the end has not arrived.
    std::optional<QString> collect(QString &text, QStringList &blocks);
    void finishLoose(QString &loose, QStringList &blocks);

    QString m_completeincomestring;
    bool m_datanotready = false;
    QString m_heldBack;
};

} // namespace zelk
