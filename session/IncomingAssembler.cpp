#include "session/IncomingAssembler.h"

#include "protocol/Framing.h"

#include <array>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

struct KnownTag
{
    QStringView open;
    QStringView close;
};

// Every message the main connection receives.
constexpr std::array<KnownTag, 6> kKnownTags{{
    {u"¤RETSERVERVERSION:", u":RETSERVERVERSION¤"},
    {u"¤RETINITEXT:", u":RETINITEXT¤"},
    {u"¤ZELKCLIENTDATA:", u":ZELKCLIENTDATA¤"},
    {u"¤RETSTATIONCALLABLES:", u":RETSTATIONCALLABLES¤"},
    {u"¤RETALLCALLABLES:", u":RETALLCALLABLES¤"},
    {u"¤RETCALLLIST~", u"~RETCALLLIST¤"},
}};

// Where a proper beginning of `marker` ends the text, or -1.
qsizetype trailingPrefix(QStringView text, QStringView marker)
{
    for (qsizetype n = qMin(text.size(), marker.size() - 1); n > 0; --n) {
        if (text.endsWith(marker.first(n)))
            return text.size() - n;
    }
    return -1;
}

// Whether the "¤" at `at` ends a closing tag rather than starting a message.
bool closesMessage(QStringView text, qsizetype at)
{
    const QStringView upTo = text.first(at + 1);
    for (const KnownTag &tag : kKnownTags) {
        if (upTo.endsWith(tag.close))
            return true;
    }
    return false;
}

// Where the beginning of an opening tag ends the text, or -1.
qsizetype trailingOpening(QStringView text, QStringView openTag)
{
    const qsizetype at = trailingPrefix(text, openTag);
    return at >= 0 && closesMessage(text, at) ? -1 : at;
}

// An unclosed message followed by another one is broken, not waiting for the rest of it.
bool messageStartsAfter(QStringView text, qsizetype at)
{
    for (const KnownTag &tag : kKnownTags) {
        if (text.indexOf(tag.open, at + 1) >= 0)
            return true;
    }
    return false;
}

} // namespace

void IncomingAssembler::reset()
{
    m_completeincomestring.clear();
    m_datanotready = false;
    m_heldBack.clear();
}

QString IncomingAssembler::takeIncompleteTail(QString &block) const
{
    qsizetype from = -1;
    const auto consider = [&from](qsizetype at) {
        if (at >= 0 && (from < 0 || at < from))
            from = at;
    };
    for (const KnownTag &tag : kKnownTags) {
        const qsizetype open = block.lastIndexOf(tag.open);
        // The closing tag may share its separator with an empty opening tag.
        if (open >= 0 && block.indexOf(tag.close, open + tag.open.size() - 1) < 0
            && !messageStartsAfter(block, open))
            consider(open);
        consider(trailingOpening(block, tag.open));
    }
    consider(trailingPrefix(block, kDataStart));
    if (from < 0)
        return {};
    QString tail = block.sliced(from);
    block.truncate(from);
    return tail;
}

std::optional<QString> IncomingAssembler::feed(const QString &read)
{
    QString text = m_heldBack + read;
    m_heldBack.clear();
    if (trimControls(text).isEmpty())
        return std::nullopt;

    QString block;
    if (text.contains(kDataStart)) {
        if (!text.contains(kDataEnd)) {
            // A new envelope replaces anything collected before.
            m_completeincomestring = text;
            m_datanotready = true;
            return std::nullopt;
        }
        m_datanotready = false;
        m_completeincomestring.clear();
        block = text;
    } else if (m_datanotready) {
        m_completeincomestring += text;
        // The end marker itself may have been split between two reads, so look for it in
        // everything collected, not only in this read.
        if (!m_completeincomestring.contains(kDataEnd)) {
            if (m_completeincomestring.size() > kHoldLimit) {
                qWarning("ZELK: an envelope larger than %lld characters was dropped", qlonglong(kHoldLimit));
                reset();
            }
            return std::nullopt;
        }
        m_datanotready = false;
        block = std::exchange(m_completeincomestring, QString());
    } else {
        block = text;
    }

    if (const qsizetype at = block.indexOf(kDataStart); at >= 0)
        block.remove(at, kDataStart.size());
    if (const qsizetype at = block.indexOf(kDataEnd); at >= 0)
        block.remove(at, kDataEnd.size());

    QString tail = takeIncompleteTail(block);
    if (tail.size() > kHoldLimit)
        qWarning("ZELK: an incomplete message larger than %lld characters was dropped", qlonglong(kHoldLimit));
    else
        m_heldBack = std::move(tail);
    if (trimControls(block).isEmpty())
        return std::nullopt;
    return block;
}

} // namespace zelk
