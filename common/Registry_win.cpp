// The settings store's registry on Windows: the real hives HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE through the plain Win32 calls of RegistryWin32_win. Takes the place of
// Registry.cpp and RegistryIni.cpp in a Windows build.
#include "common/Registry.h"

#include "common/RegistryWin32_win.h"

#include <windows.h>

#include <array>

using namespace Qt::StringLiterals;

namespace zelk {

QString LastRegistryError;

namespace {

HKEY rootKey(RegistryRoot root)
{
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

// One hive of the Windows registry behind the store's interface.
class WindowsRegistryHive final : public RegistryHive
{
public:
    explicit WindowsRegistryHive(RegistryRoot root) : m_root(rootKey(root)) {}

    std::optional<QString> readString(const QString &path, const QString &name) override
    {
        const std::wstring value = win32::regReadString(m_root, wide(path), wide(name));
        if (value.empty())
            return std::nullopt; // absent and empty read alike, as RegReadString gives them
        return QString::fromStdWString(value);
    }

    bool writeString(const QString &path, const QString &name, const QString &value, QString *error) override
    {
        std::wstring text;
        const bool stored = win32::regWriteString(m_root, wide(path), wide(name), wide(value), &text);
        if (!text.empty() && error)
            *error = QString::fromStdWString(text);
        return stored;
    }

private:
    HKEY m_root;
};

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

QString registryHiveFile(RegistryRoot root)
{
    // Not a file on Windows: the hive's name.
    return root == RegistryRoot::CurrentUser ? u"HKEY_CURRENT_USER"_s : u"HKEY_LOCAL_MACHINE"_s;
}

RegistryHive &registryHive(RegistryRoot root)
{
    auto &hive = hives()[slot(root)];
    if (!hive)
        hive = std::make_unique<WindowsRegistryHive>(root);
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

QString RegReadString(RegistryRoot root, const QString &path, const QString &name, quint32 extraAccess)
{
    // The native hive opens the key with KEY_READ | extraAccess itself.
    if (!hives()[slot(root)])
        return QString::fromStdWString(win32::regReadString(rootKey(root), wide(path), wide(name), extraAccess));
    const std::optional<QString> value = registryHive(root).readString(path, name);
    if (!value || value->size() > kRegistryMaxLength)
        return {};
    return *value;
}

bool RegWriteString(RegistryRoot root, const QString &path, const QString &name, const QString &value)
{
    if (path.size() > kRegistryMaxLength || name.size() > kRegistryMaxLength || value.size() > kRegistryMaxLength) {
        LastRegistryError = u"The registry value is longer than %1 characters."_s.arg(kRegistryMaxLength);
        return false;
    }
    QString error;
    const bool stored = registryHive(root).writeString(path, name, value, &error);
    if (!error.isEmpty())
        LastRegistryError = error;
    return stored;
}

} // namespace zelk
