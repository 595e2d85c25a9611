#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace zelk {

// The two hives a setting can live in.
enum class RegistryRoot { CurrentUser, LocalMachine };

// Values longer than this are neither written nor read (a read treats them as absent).
inline constexpr qsizetype kRegistryMaxLength = 1024;

// One registry hive: string values addressed by a key path ("SOFTWARE\Kestrova\...", backslash
// separated) and a value name (empty for the key's default value). The store only talks to
// this interface, so a native registry backend can stand beside the INI one.
class RegistryHive
{
public:
    virtual ~RegistryHive() = default;
    // The value, or nothing when the key or value does not exist.
    virtual std::optional<QString> readString(const QString &path, const QString &name) = 0;
    // Creates the key as needed. On failure returns false and puts the system's text in *error.
    virtual bool writeString(const QString &path, const QString &name, const QString &value,
                             QString *error) = 0;
};

// The text of the most recent failed write of RegWriteString.
extern QString LastRegistryError;

// One read: empty when the key or value is missing or the value is longer than 1024 characters.
// extraAccess is kept for the native registry; the INI hives ignore it.
QString RegReadString(RegistryRoot root, const QString &path, const QString &name,
                      quint32 extraAccess = 0);
// One write, creating the key: true when the value was stored. Path, name and value of more
// than 1024 characters are refused (false), so that everything written can be read back.
bool RegWriteString(RegistryRoot root, const QString &path, const QString &name,
                    const QString &value);

// The hive behind a root; created on first use from the default INI location.
RegistryHive &registryHive(RegistryRoot root);
// Replaces the hive behind a root (tests, other backends); nullptr returns to the default,
// which is created again from the current environment at its next use.
void setRegistryHive(RegistryRoot root, std::unique_ptr<RegistryHive> hive);
// Forgets both hives, so the next use opens them again from $ZELK_REGISTRY_DIR or the XDG folders.
void resetRegistryHives();

// Where the INI hive of a root lives: $ZELK_REGISTRY_DIR/<HIVE>.ini when set, else the user's
// (HKEY_CURRENT_USER) or the system's (HKEY_LOCAL_MACHINE) XDG configuration folder + Kestrova/.
QString registryHiveFile(RegistryRoot root);
// The platform's own hive behind a root (INI file or Windows registry); registryHive() makes
// it on first use.
std::unique_ptr<RegistryHive> createPlatformHive(RegistryRoot root);

} // namespace zelk
