#pragma once

#include <QString>

#include <optional>

namespace zelk {

// Turns the reads of a connection into blocks for the dispatcher. A block is either a
// whole envelope ("#DATASTART#" ... "#DATAEND#", markers removed) collected over several
// reads, or what one read brought. A message cut in two by TCP outside an envelope is not
// lost: its beginning is held back and put in front of the next read.
class IncomingAssembler
{
public:
    // More than this held back or collected means a broken peer: it is dropped.
    static constexpr qsizetype kHoldLimit = 1 << 20;

    std::optional<QString> feed(const QString &read);

    bool collecting() const { return m_datanotready; }
    qsizetype heldBack() const { return m_heldBack.size(); }
    void reset();

private:
    QString takeIncompleteTail(QString &block) const;

    QString m_completeincomestring;
    bool m_datanotready = false;
    QString m_heldBack;
};

} // namespace zelk
