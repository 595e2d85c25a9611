#pragma once

#include "common/Registry.h"
#include "common/SettingsKeys.h"

#include <QAbstractSocket>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>

namespace zelk {

// The not-found result of every read.
inline constexpr QStringView kNotFound = u"ERROR";
// Every setting lives below this key, followed by RegistryFolderKey and the section.
inline constexpr QStringView kRegistryBaseKey = u"SOFTWARE\\Kestrova\\";
// Where a failed machine-hive write leaves its reason, in the user hive.
inline constexpr QStringView kWriteErrorKey = u"SOFTWARE\\Kestrova\\ERROR_WRITING_TO_LOCAL_MACHINE";
inline constexpr QStringView kWriteErrorValue = u"ErrorMsg";

// Program-wide values of the common module.
extern QString ProgramFolder;     // working folder at start, trailing separator
extern QString RegistryFolderKey; // ProgramFolder flattened into one key name, trailing backslash
extern QString DataFolder;        // per-user data folder Kestrova/ZELK/, empty when not creatable
extern QPointer<QAbstractSocket> MainSocket; // the calling window's server connection once connected
extern std::function<void(bool refresh)> ReconnectHook;
extern std::function<void()> ReloadSettingsHook;

// Computes ProgramFolder, RegistryFolderKey and DataFolder. When the working folder cannot be
// determined it shows "Unable to get Current path", leaves the folders unchanged and returns false.
bool PrepareFolders();
// The flattening of a folder into a registry key name ("/opt/zelk client/" -> "_opt_zelk_client\").
QString registryFolderKeyFor(const QString &programFolder);
// "SOFTWARE\Kestrova\" + RegistryFolderKey + section.
QString settingsRegistryPath(const QString &section);

// Registry first (user hive, machine hive), then the server while MainSocket is open.
QString ReadSetting(const QString &section, const QString &key);
QString ReadSettingDef(const QString &section, const QString &key, const QString &def);
// The server only.
QString ReadSharedSetting(const QString &section, const QString &key);
QString ReadSharedSettingDef(const QString &section, const QString &key, const QString &def);
// Both hives, then the server (per machine, then shared) while connected. The identity keys
// ZELK/ClientName and ZELK/ClientNameUseDefault are never written to or read from the shared
// section: they belong to one workstation.
void WriteSetting(const QString &section, const QString &key, const QString &value);

// Catalogue-keyed convenience forms.
QString ReadSetting(const SettingKey &k);
QString ReadSettingDef(const SettingKey &k, const QString &def);
QString ReadSharedSetting(const SettingKey &k);
QString ReadSharedSettingDef(const SettingKey &k, const QString &def);
void WriteSetting(const SettingKey &k, const QString &value);
bool readBoolSetting(const SettingKey &k, bool def);
int readIntSetting(const SettingKey &k, int def);
// The literally compared flags (UseSAPI5, ClientNameUseDefault, ShowDirectXInfo): on only for "1".
bool readFlagSetting(const SettingKey &k, bool def);

// Tolerant conversions of setting texts.
bool settingToBool(const QString &text, bool def); // "0" false, other integers true, True/False any case
int settingToInt(const QString &text, int def);
QString boolToSetting(bool value);                  // "-1" / "0"

// The dispatcher hands every RETINITEXT value (field 1, trimmed) here; a waiting server query
// takes it. There is one reply text for the whole program, as the reply names no key.
void deliverIniTextReply(const QString &value);

// How long one server query waits for RETINITEXT (5000 ms; tests shorten it).
std::chrono::milliseconds serverWaitInterval();
void setServerWaitInterval(std::chrono::milliseconds interval);

} // namespace zelk
