// The settings store's registry on Windows: the real hives HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE through the plain Win32 calls of RegistryWin32_win. Takes the place of
// Registry_linux.cpp and RegistryIni.cpp in a Windows build.
#include "common/Registry.h"

#include "common/RegistryWin32_win.h"

#include <windows.h>

using namespace Qt::StringLiterals;

namespace zelk {

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

} // namespace

QString registryHiveFile(RegistryRoot root)
{
    // Not a file on Windows: the hive's name.
    return root == RegistryRoot::CurrentUser ? u"HKEY_CURRENT_USER"_s : u"HKEY_LOCAL_MACHINE"_s;
}

std::unique_ptr<RegistryHive> createPlatformHive(RegistryRoot root)
{
    return std::make_unique<WindowsRegistryHive>(root);
}

} // namespace zelk
