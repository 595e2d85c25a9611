// The settings store's registry on Linux: each hive an INI file.
#include "common/Registry.h"

#include "common/RegistryIni.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

QString systemConfigFolder()
{
    // The first folder of XDG_CONFIG_DIRS is the system's configuration folder.
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    const QString first = dirs.section(u':', 0, 0);
    return first.isEmpty() ? u"/etc/xdg"_s : first;
}

} // namespace

QString registryHiveFile(RegistryRoot root)
{
    const QString fileName = root == RegistryRoot::CurrentUser ? u"HKEY_CURRENT_USER.ini"_s
                                                               : u"HKEY_LOCAL_MACHINE.ini"_s;
    const QString overrideDir = qEnvironmentVariable("ZELK_REGISTRY_DIR");
    if (!overrideDir.isEmpty())
        return QDir(overrideDir).filePath(fileName);
    const QString base = root == RegistryRoot::CurrentUser
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             : systemConfigFolder();
    return QDir(base).filePath(u"Kestrova/"_s + fileName);
}

std::unique_ptr<RegistryHive> createPlatformHive(RegistryRoot root)
{
    return std::make_unique<IniRegistryHive>(registryHiveFile(root));
}

} // namespace zelk
