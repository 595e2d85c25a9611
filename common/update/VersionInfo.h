#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>
#include <QString>
#include <QStringView>

#include <utility>

namespace zelk {

// Every executable of this product carries a version record: a fixed-size block that starts
// with a marker and holds "Name=Value" lines (UTF-8), padded with NUL bytes. It stands in for
// the version resource of a Windows executable, so the self-update can read the product
// version of a downloaded copy before it starts it.
inline constexpr qsizetype kVersionRecordSize = 512;
inline constexpr qsizetype kVersionRecordMarkerSize = 16;

// The marker, assembled at run time so that it occurs in an executable only where the record is.
QByteArray versionRecordMarker();
// The record built into the running program.
QByteArrayView ownVersionRecord();

using VersionFields = QList<std::pair<QString, QString>>;

// The fields of a record (marker included); empty when the block is not a valid record.
VersionFields parseVersionRecord(QByteArrayView record);
// Where the one record of an executable image starts; -1 when there is none, -2 when there
// is more than one (the image cannot be told apart from its contents then).
qsizetype findVersionRecord(QByteArrayView image);
// Rewrites the record of an image in place with another product (and file) version; false
// with a reason when the image has no single record or the new record would not fit.
bool stampVersionRecord(QByteArray &image, const QString &productVersion, QString *error = nullptr);

// A version text as a number: every "." removed, the rest read as a decimal integer, 1000 when
// that fails. Compared as plain integers, so 1.9.12 (1912) counts as newer than 1.10.4 (1104).
int versionNumber(QStringView version);
// The other way round, for messages: the number written with the dots of `layout` (a version
// text with as many digits), e.g. 1106 like "1.10.4" gives "1.10.6". The plain number when
// no layout fits.
QString versionTextFor(int number, const QStringList &layouts);

// The version information of an executable: its eleven texts and the four parts of the file
// version. Creating it reads the running program's own record; GetInfo reads another file's.
class TCEVersionInfo
{
public:
    TCEVersionInfo();

    // False (and every field "<info not available>") when the file has no version record.
    bool GetInfo(const QString &fileName);

    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString LegalTrademarks;
    QString OriginalFilename;
    QString ProductName;
    QString ProductVersion;
    QString Comments;
    QString SpecialBuild;

    QString MajorVersion;
    QString MinorVersion;
    QString Release;
    QString Build;

private:
    bool readRecord(QByteArrayView record);
    void setUnavailable();
};

inline constexpr QStringView kInfoNotAvailable = u"<info not available>";

} // namespace zelk
