// TCEVersionInfo on Windows: the VERSIONINFO resource of an executable
// (VersionResource_win), which the build gives every executable from the project's version.
// Takes the place of VersionInfo.cpp and VersionRecord.cpp in a Windows build: the version
// record and its stamping are how Linux executables carry their version.
#include "common/update/VersionInfo.h"

#include "common/update/VersionResource_win.h"
#include "session/SessionState.h"

namespace zelk {

namespace {

QString text(const std::wstring &value)
{
    return QString::fromStdWString(value);
}

} // namespace

int versionNumber(QStringView version)
{
    return versionTextNumber(version, 1000);
}

TCEVersionInfo::TCEVersionInfo()
{
    GetInfo(QString::fromStdWString(win32::ownModuleFile()));
}

bool TCEVersionInfo::GetInfo(const QString &fileName)
{
    const win32::VersionResource resource = win32::readVersionResource(fileName.toStdWString());
    QString *strings[] = {&CompanyName,      &FileDescription, &FileVersion,    &InternalName,
                          &LegalCopyright,   &LegalTrademarks, &OriginalFilename, &ProductName,
                          &ProductVersion,   &Comments,        &SpecialBuild};
    for (std::size_t i = 0; i < resource.strings.size(); ++i)
        *strings[i] = text(resource.strings[i]);
    MajorVersion = text(resource.fileVersion[0]);
    MinorVersion = text(resource.fileVersion[1]);
    Release = text(resource.fileVersion[2]);
    Build = text(resource.fileVersion[3]);
    return resource.available;
}

} // namespace zelk
