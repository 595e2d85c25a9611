#include "speech/SpeechText.h"

#include <QStringView>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

const QString kOpeningMarker = u"!\"#\u00A4%&"_s;
const QString kClosingMarker = u"&%\u00A4#\"!"_s;

// Reads as a non-zero integer: an optional sign, then digits only, not all zeros.
bool isNonZeroNumber(QStringView text)
{
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-'))
        text = text.mid(1);
    if (text.isEmpty())
        return false;
    bool nonZero = false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        if (c != u'0')
            nonZero = true;
    }
    return nonZero;
}

// Inserts before the 0-based index, or appends when the index lies past the end.
void insertAt(QString &text, qsizetype index, QStringView what)
{
    text.insert(qMin(index, text.size()), what);
}

} // namespace

QString removeSpeechMarkers(const QString &text)
{
    QString result = text;
    result.replace(kOpeningMarker, QString(), Qt::CaseInsensitive);
    result.replace(kOpeningMarker + kClosingMarker, QString(), Qt::CaseInsensitive);
    result.replace(kClosingMarker, QString(), Qt::CaseInsensitive);
    return result;
}

QString readPersonalNumber(const QString &text)
{
    const qsizetype dash = text.indexOf(u'-');
    if (dash < 0)
        return text;

    // The date part must lie wholly before the dash: six digits, or eight when the
    // century is written out. A text that starts with a dash has no date part.
    const auto headOf = [&](qsizetype width) -> QStringView {
        if (dash < width)
            return {};
        return QStringView(text).mid(dash - width, width);
    };
    qsizetype width = 6;
    QString head = headOf(6).toString();
    if (isNonZeroNumber(head)) {
        const QStringView longHead = headOf(8);
        if (isNonZeroNumber(longHead)) {
            head = longHead.toString();
            width = 8;
        }
    }
    QString tail = QStringView(text).mid(dash + 1, 4).toString();
    if (!isNonZeroNumber(head) || !isNonZeroNumber(tail))
        return text;

    if (width == 8) {
        insertAt(head, 2, u"00 ");
        insertAt(head, 7, u" ");
        insertAt(head, 10, u" ");
    } else {
        insertAt(head, 2, u" ");
        insertAt(head, 5, u" ");
    }
    insertAt(tail, 2, u" ");

    QString result = text;
    result.remove(dash - width, width + 5);
    result.insert(dash - width, head % u", " % tail);
    return result;
}

QString rewriteForSpeech(const QString &sayString)
{
    QString text = readPersonalNumber(removeSpeechMarkers(sayString));
    text.replace(u'-', u' ');
    return text;
}

} // namespace zelk
