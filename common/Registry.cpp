#include "common/Registry.h"

#include "common/RegistryIni.h"

#include <QDir>
#include <QStandardPaths>

#include <array>

using namespace Qt::StringLiterals;

namespace zelk {

QString LastRegistryError;

namespace {

std::array<std::unique_ptr<RegistryHive>, 2> &hives()
{
    static std::array<std::unique_ptr<RegistryHive>, 2> instances;
    return instances;
}

std::size_t slot(RegistryRoot root)
{
    return root == RegistryRoot::CurrentUser ? 0 : 1;
}

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

RegistryHive &registryHive(RegistryRoot root)
{
    auto &hive = hives()[slot(root)];
    if (!hive)
        hive = std::make_unique<IniRegistryHive>(registryHiveFile(root));
    return *hive;
}

void setRegistryHive(RegistryRoot root, std::unique_ptr<RegistryHive> hive)
{
    hives()[slot(root)] = std::move(hive);
}

void resetRegistryHives()
{
    for (auto &hive : hives())
        hive.reset();
}

QString RegReadString(RegistryRoot root, const QString &path, const QString &name,
                      quint32 extraAccess)
{
    Q_UNUSED(extraAccess);
    const std::optional<QString> value = registryHive(root).readString(path, name);
    if (!value || value->size() > kRegistryMaxLength)
        return {};
    return *value;
}

bool RegWriteString(RegistryRoot root, const QString &path, const QString &name,
                    const QString &value)
{
    if (path.size() > kRegistryMaxLength || name.size() > kRegistryMaxLength
        || value.size() > kRegistryMaxLength) {
        LastRegistryError = u"The registry value is longer than %1 characters."_s.arg(kRegistryMaxLength);
        return false;
    }
    QString error;
    if (registryHive(root).writeString(path, name, value, &error))
        return true;
    LastRegistryError = error;
    return false;
}

} // namespace zelk
