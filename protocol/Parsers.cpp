#include "protocol/Parsers.h"

#include "protocol/Framing.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// The regional format of the workstations the system is installed on.
const QLocale &swedish()
{
    static const QLocale locale(QLocale::Swedish, QLocale::Sweden);
    return locale;
}

// The Swedish regional short date and long time of the workstations. Written out rather than
// taken from the locale database, whose long time format carries a time zone name.
const QString &swedishFormat()
{
    static const QString format = u"yyyy-MM-dd HH:mm:ss"_s;
    return format;
}

// The Swedish short date and long time, "yyyy-MM-dd HH:mm:ss", read without the locale
// machinery: a long call list carries two of them per record.
std::optional<std::pair<QDate, QTime>> parseSwedishFields(QStringView text)
{
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u' '
        || text[13] != u':' || text[16] != u':')
        return std::nullopt;
    const auto number = [&](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return std::pair{date, time};
}

std::optional<QDateTime> parseSwedishFast(QStringView text)
{
    if (const auto fields = parseSwedishFields(text))
        return QDateTime(fields->first, fields->second);
    return std::nullopt;
}

// Turning a local clock time into a point in time asks the time zone database each time,
// which costs far more than the rest of a record. Within one call list the offset from UTC
// is looked up once per date and hour; the result names the same instant and clock time.
class LocalTimeCache
{
public:
    QDateTime toDateTime(QStringView field, const QDateTime &now)
    {
        const auto fields = parseSwedishFields(field);
        if (!fields)
            return wireDateTime(field, now);
        const auto key = std::pair{fields->first.toJulianDay(), fields->second.hour()};
        if (key != m_key) {
            const QDateTime local(fields->first, fields->second);
            if (!local.isValid()) // a clock time skipped by a daylight-saving change
                return wireDateTime(field, now);
            m_key = key;
            m_offset = local.offsetFromUtc();
        }
        return QDateTime(fields->first, fields->second, Qt::OffsetFromUTC, m_offset);
    }

private:
    std::pair<qint64, int> m_key{-1, -1};
    int m_offset = 0;
};

// Walks a cut message field by field, as GetField numbers them, in one pass.
class FieldCursor
{
public:
    FieldCursor(QStringView text, QChar separator) : m_text(text), m_separator(separator) {}

    // The next field (field 0 first); empty once the text is exhausted.
    QStringView next()
    {
        if (m_pos > m_text.size())
            return {};
        qsizetype stop = m_text.indexOf(m_separator, m_pos);
        if (stop < 0)
            stop = m_text.size();
        const QStringView field = m_text.sliced(m_pos, stop - m_pos);
        m_pos = stop + 1;
        return trimControls(field);
    }

    void skip(int count)
    {
        for (int i = 0; i < count; ++i)
            next();
    }

private:
    QStringView m_text;
    QChar m_separator;
    qsizetype m_pos = 0;
};

} // namespace

qint32 wireInt(QStringView field)
{
    bool ok = false;
    const qint32 value = field.toInt(&ok, 10);
    return ok ? value : 0;
}

bool wireBool(QStringView field)
{
    bool ok = false;
    const qlonglong number = field.toLongLong(&ok, 10);
    if (ok)
        return number != 0;
    return field.compare(u"True", Qt::CaseInsensitive) == 0;
}

bool wireActive(QStringView field)
{
    return field != u"F";
}

QDateTime wireDateTime(QStringView field, const QDateTime &now)
{
    if (field.isEmpty())
        return now;
    if (const auto fast = parseSwedishFast(field))
        return *fast;
    const QString text = field.toString();
    QDateTime parsed = swedish().toDateTime(text, swedishFormat());
    if (!parsed.isValid()) // a server that writes the workstation's own regional format
        parsed = QLocale().toDateTime(text, QLocale().dateFormat(QLocale::ShortFormat) + u' '
                                                 + QLocale().timeFormat(QLocale::LongFormat));
    if (!parsed.isValid())
        parsed = QDateTime::fromString(text, Qt::ISODate);
    return parsed.isValid() ? parsed : now;
}

QString wireDateTimeText(const QDateTime &when)
{
    return swedish().toString(when, swedishFormat());
}

QString parseServerVersion(QStringView cut)
{
    return GetField(cut, 1, u':');
}

QString parseIniText(QStringView cut)
{
    return GetField(cut, 1, u':');
}

ClientDataFields parseClientData(QStringView cut)
{
    FieldCursor fields(cut, u':');
    fields.skip(1);
    ClientDataFields data;
    data.name = fields.next().toString();
    data.friendlyName = fields.next().toString();
    data.color = wireInt(fields.next());
    return data;
}

QList<qint32> parseStationCallables(QStringView cut)
{
    QList<qint32> numbers;
    FieldCursor fields(cut, u':');
    fields.skip(1);
    for (;;) {
        const QStringView number = fields.next();
        if (number.isEmpty())
            break;
        numbers.append(wireInt(number));
        fields.skip(1);
    }
    return numbers;
}

QList<msg::CallableEntry> parseAllCallables(QStringView cut)
{
    QList<msg::CallableEntry> entries;
    FieldCursor fields(cut, u':');
    fields.skip(1);
    for (;;) {
        const QStringView name = fields.next();
        if (name.isEmpty())
            break;
        msg::CallableEntry entry;
        entry.number = wireInt(fields.next());
        fields.skip(4);
        entry.text = name.toString();
        if (!wireActive(fields.next()))
            entry.text += u" - (inaktiv)"_s;
        entries.append(entry);
    }
    return entries;
}

QList<msg::CallListRecord> parseCallList(QStringView cut, const QDateTime &now)
{
    QList<msg::CallListRecord> records;
    LocalTimeCache times;
    FieldCursor fields(cut, u'~');
    fields.skip(1);
    for (;;) {
        const QStringView name = fields.next();
        if (name.isEmpty())
            break;
        msg::CallListRecord r;
        r.CallNamn = name.toString();
        r.CallLOPNR = wireInt(fields.next());
        r.CallFullname = fields.next().toString();
        r.CallColor = wireInt(fields.next());
        r.IsAvbryt = wireBool(fields.next());
        r.IsCalled = wireBool(fields.next());
        r.CallTime = times.toDateTime(fields.next(), now);
        r.ComingName = fields.next().toString();
        r.ComingTime = times.toDateTime(fields.next(), now);
        r.ComingLopnr = wireInt(fields.next());
        records.append(std::move(r));
    }
    return records;
}

std::optional<QString> parseErrorReply(QStringView text)
{
    const qsizetype at = text.indexOf(kErrorReply);
    if (at < 0)
        return std::nullopt;
    const qsizetype from = qMin(text.size(), at + kErrorReply.size() + 1);
    return text.sliced(from).toString();
}

bool isNotRegisteredReply(QStringView text)
{
    return text.contains(u"ERROR: 001");
}

} // namespace zelk
