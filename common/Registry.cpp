#include "common/Registry.h"

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

} // namespace

RegistryHive &registryHive(RegistryRoot root)
{
    auto &hive = hives()[slot(root)];
    if (!hive)
        hive = createPlatformHive(root);
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
    Q_UNUSED(extraAccess); // the program never asks for more than reading
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
    // A hive may report an error text also when its retry stored the value (the key could
    // not be created with the open access list, but without it).
    QString error;
    const bool stored = registryHive(root).writeString(path, name, value, &error);
    if (!error.isEmpty())
        LastRegistryError = error;
    return stored;
}

} // namespace zelk
