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

QStringList IncomingAssembler::takeBlocks(const QString &read)
{
    QString text = std::exchange(m_heldBack, QString()) + read;
    QStringList blocks;
    QString loose;
    while (!text.isEmpty()) {
        if (m_datanotready) {
            std::optional<QString> rest = collect(text, blocks);
            if (!rest)
                break;
            text = std::move(*rest);
        } else {
            text = takeLoose(text, loose);
            if (!m_datanotready)
                break;
            // What stood before the envelope comes first.
            if (trimControls(loose).size() > 0)
                blocks.append(loose);
            loose.clear();
        }
    }
    finishLoose(loose, blocks);
    return blocks;
}

std::optional<QString> IncomingAssembler::feed(const QString &read)
{
    const QStringList blocks = takeBlocks(read);
    if (blocks.isEmpty())
        return std::nullopt;
    return blocks.join(QString());
}

QString IncomingAssembler::takeLoose(QString &text, QString &loose)
{
    const qsizetype start = text.indexOf(kDataStart);
    if (start < 0) {
        loose += text;
        return {};
    }
    loose += QStringView(text).first(start);
    m_datanotready = true;
    m_completeincomestring.clear();
    return text.sliced(start + kDataStart.size());
}

std::optional<QString> IncomingAssembler::collect(QString &text, QStringList &blocks)
{
    // The end marker may have been split between two reads, so the search starts just
    // before what this read added.
    const qsizetype searchFrom = qMax<qsizetype>(0, m_completeincomestring.size() - kDataEnd.size() + 1);
    m_completeincomestring += text;
    text.clear();
    const qsizetype end = m_completeincomestring.indexOf(kDataEnd, searchFrom);
    // An envelope that opens again before it ended was broken off: the new one replaces it.
    const qsizetype restart = m_completeincomestring.lastIndexOf(kDataStart, end < 0 ? -1 : end);
    if (restart >= 0 && (end < 0 || restart < end))
        m_completeincomestring.remove(0, restart + kDataStart.size());
    const qsizetype at = m_completeincomestring.indexOf(kDataEnd);
    if (at < 0) {
        if (m_completeincomestring.size() > kHoldLimit) {
            qWarning("ZELK: an envelope larger than %lld characters was dropped", qlonglong(kHoldLimit));
            reset();
        }
        return std::nullopt;
    }
    QString rest = m_completeincomestring.sliced(at + kDataEnd.size());
    m_completeincomestring.truncate(at);
    if (trimControls(m_completeincomestring).size() > 0)
        blocks.append(m_completeincomestring);
    m_completeincomestring.clear();
    m_datanotready = false;
    return rest;
}

void IncomingAssembler::finishLoose(QString &loose, QStringList &blocks)
{
    // An end marker outside an envelope has nothing to close.
    loose.remove(kDataEnd.toString());
    QString tail = takeIncompleteTail(loose);
    if (tail.size() > kHoldLimit)
        qWarning("ZELK: an incomplete message larger than %lld characters was dropped", qlonglong(kHoldLimit));
    else
        m_heldBack = std::move(tail);
    if (trimControls(loose).size() > 0)
        blocks.append(loose);
}

} // namespace zelk
