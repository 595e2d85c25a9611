#include "common/update/VersionInfo.h"

#include <algorithm>

#include "session/SessionState.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

bool isValidRecord(QByteArrayView record)
{
    // A record ends in NUL padding; anything else is a chance occurrence of the marker.
    return record.size() == kVersionRecordSize && record.startsWith(versionRecordMarker())
           && record.back() == '\0';
}

QString fieldValue(const VersionFields &fields, QStringView name)
{
    for (const auto &[key, value] : fields) {
        if (key == name)
            return value;
    }
    return {};
}

} // namespace

VersionFields parseVersionRecord(QByteArrayView record)
{
    VersionFields fields;
    if (!isValidRecord(record))
        return fields;
    QByteArrayView body = record.sliced(kVersionRecordMarkerSize);
    const qsizetype end = body.indexOf('\0');
    body = body.first(end < 0 ? body.size() : end);
    const QString text = QString::fromUtf8(body);
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            fields.append({line.first(eq).toString(), line.sliced(eq + 1).toString()});
    }
    return fields;
}

qsizetype findVersionRecord(QByteArrayView image)
{
    const QByteArray marker = versionRecordMarker();
    qsizetype found = -1;
    for (qsizetype at = image.indexOf(marker); at >= 0; at = image.indexOf(marker, at + 1)) {
        if (!isValidRecord(image.sliced(at, qMin(kVersionRecordSize, image.size() - at))))
            continue;
        if (found >= 0)
            return -2;
        found = at;
    }
    return found;
}

bool stampVersionRecord(QByteArray &image, const QString &productVersion, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (productVersion.isEmpty() || productVersion.contains(u'\n') || productVersion.contains(QChar(0)))
        return fail(u"not a version: "_s + productVersion);
    const qsizetype at = findVersionRecord(image);
    if (at == -1)
        return fail(u"the file has no version record"_s);
    if (at == -2)
        return fail(u"the file has more than one version record"_s);

    VersionFields fields = parseVersionRecord(QByteArrayView(image).sliced(at, kVersionRecordSize));
    QString fileVersion = productVersion;
    for (qsizetype dots = productVersion.count(u'.'); dots < 3; ++dots)
        fileVersion += u".0"_s;
    for (auto &[key, value] : fields) {
        if (key == u"ProductVersion")
            value = productVersion;
        else if (key == u"FileVersion")
            value = fileVersion;
    }
    QByteArray body;
    for (const auto &[key, value] : std::as_const(fields))
        body += (key + u'=' + value + u'\n').toUtf8();
    const qsizetype room = kVersionRecordSize - kVersionRecordMarkerSize;
    if (body.size() >= room)
        return fail(u"the new version does not fit into the record"_s);
    body.append(room - body.size(), '\0');
    image.replace(at + kVersionRecordMarkerSize, room, body);
    return true;
}

int versionNumber(QStringView version)
{
    return versionTextNumber(version, 1000);
}

QString versionTextFor(int number, const QStringList &layouts)
{
    const QString digits = QString::number(number);
    for (const QString &layout : layouts) {
        const QStringList groups = layout.split(u'.');
        qsizetype total = 0;
        bool numeric = groups.size() > 1;
        for (const QString &group : groups) {
            total += group.size();
            numeric = numeric && !group.isEmpty()
                      && std::all_of(group.begin(), group.end(), [](QChar c) { return c.isDigit(); });
        }
        if (!numeric || total != digits.size())
            continue;
        QStringList parts;
        qsizetype at = 0;
        for (const QString &group : groups) {
            parts.append(digits.mid(at, group.size()));
            at += group.size();
        }
        return parts.join(u'.');
    }
    return digits;
}

TCEVersionInfo::TCEVersionInfo()
{
    // The running program's record is in memory already: the file it was started from may
    // have been replaced since.
    if (!readRecord(ownVersionRecord()))
        setUnavailable();
}

bool TCEVersionInfo::GetInfo(const QString &fileName)
{
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
        // Mapped rather than read: an executable may be large, the record is a few hundred bytes.
        if (const uchar *map = file.map(0, file.size())) {
            const QByteArrayView image(reinterpret_cast<const char *>(map), file.size());
            const qsizetype at = findVersionRecord(image);
            const bool ok = at >= 0 && readRecord(image.sliced(at, kVersionRecordSize));
            file.unmap(const_cast<uchar *>(map));
            if (ok)
                return true;
        }
    }
    setUnavailable();
    return false;
}

bool TCEVersionInfo::readRecord(QByteArrayView record)
{
    const VersionFields fields = parseVersionRecord(record);
    if (fields.isEmpty())
        return false;
    CompanyName = fieldValue(fields, u"CompanyName");
    FileDescription = fieldValue(fields, u"FileDescription");
    FileVersion = fieldValue(fields, u"FileVersion");
    InternalName = fieldValue(fields, u"InternalName");
    LegalCopyright = fieldValue(fields, u"LegalCopyright");
    LegalTrademarks = fieldValue(fields, u"LegalTrademarks");
    OriginalFilename = fieldValue(fields, u"OriginalFilename");
    ProductName = fieldValue(fields, u"ProductName");
    ProductVersion = fieldValue(fields, u"ProductVersion");
    Comments = fieldValue(fields, u"Comments");
    SpecialBuild = fieldValue(fields, u"SpecialBuild");

    const QChar separator = FileVersion.contains(u'.') ? u'.' : u',';
    if (!FileVersion.contains(separator)) {
        MajorVersion = MinorVersion = Release = Build = kInfoNotAvailable.toString();
    } else {
        const QStringList parts = FileVersion.split(separator);
        MajorVersion = parts.value(0);
        MinorVersion = parts.value(1);
        Release = parts.value(2);
        Build = parts.value(3);
    }
    return true;
}

void TCEVersionInfo::setUnavailable()
{
    const QString na = kInfoNotAvailable.toString();
    for (QString *f : {&CompanyName, &FileDescription, &FileVersion, &InternalName, &LegalCopyright,
                       &LegalTrademarks, &OriginalFilename, &ProductName, &ProductVersion, &Comments,
                       &SpecialBuild, &MajorVersion, &MinorVersion, &Release, &Build})
        *f = na;
}

} // namespace zelk
