#include "common/update/UpdateFiles.h"

#include "common/update/VersionInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace zelk {

// platformProcessStarter() is the platform's: UpdateFiles_linux.cpp, UpdateFiles_win.cpp.

QStringList restartArguments(const QStringList &originalArguments)
{
    QStringList arguments{u"RESTARTING=1"_s};
    arguments += originalArguments;
    return arguments;
}

StoreResult storeExecutable(const QByteArray &bytes, const QString &target, int wantedVersion,
                            QString *foundVersion)
{
    if (foundVersion)
        *foundVersion = kInfoNotAvailable.toString();
    const QFileInfo targetInfo(target);
    if (target.isEmpty() || !targetInfo.dir().exists())
        return StoreResult::NotStorable;

    // Beside the target, so that the rename stays within one file system and is atomic.
    QTemporaryFile temp(targetInfo.absoluteDir().filePath(targetInfo.fileName() + u".XXXXXX.part"_s));
    if (!temp.open() || temp.write(bytes) != bytes.size() || !temp.flush())
        return StoreResult::NotStorable;

    TCEVersionInfo info;
    const bool hasRecord = info.GetInfo(temp.fileName());
    if (foundVersion)
        *foundVersion = info.ProductVersion;
    if (!hasRecord || versionNumber(info.ProductVersion) != wantedVersion)
        return StoreResult::WrongVersion;

    if (!temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                             | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                             | QFileDevice::ExeOther))
        return StoreResult::NotStorable;
    temp.close();

    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temp.fileName().toStdU16String()),
                            std::filesystem::path(targetInfo.absoluteFilePath().toStdU16String()), error);
    if (error)
        return StoreResult::NotStorable; // the temporary file is removed with `temp`
    temp.setAutoRemove(false);
    return StoreResult::Stored;
}

} // namespace zelk
