#pragma once

#include <QString>
#include <QStringView>

namespace zelk {

// One setting: a text addressed by section and key.
struct SettingKey
{
    QStringView section;
    QStringView key;

    QString sectionText() const { return section.toString(); }
    QString keyText() const { return key.toString(); }
};

// The complete catalogue of settings. Every reading and writing site names its setting
// through these constants; the default each site applies stands beside it in kDefaults.
namespace keys {

inline constexpr QStringView kSectionZelk = u"ZELK";
inline constexpr QStringView kSectionServer = u"ServerSettings";
inline constexpr QStringView kSectionClient = u"KlientSettings";
inline constexpr QStringView kSectionSpeech = u"Text2Speech";
inline constexpr QStringView kSectionCheckVersion = u"CHECKVERSION";

inline constexpr SettingKey ServerName{kSectionServer, u"ServerName"};
inline constexpr SettingKey ServerPort{kSectionServer, u"ServerPort"};
inline constexpr SettingKey UpdateServerName{kSectionServer, u"UpdateServerName"}; // server only
inline constexpr SettingKey UpdateServerPort{kSectionServer, u"UpdateServerPort"}; // server only
inline constexpr SettingKey Style{kSectionClient, u"Style"};
inline constexpr SettingKey UseSAPI5{kSectionSpeech, u"UseSAPI5"};
inline constexpr SettingKey VoiceSAPI51{kSectionSpeech, u"VoiceSAPI5.1"};
inline constexpr SettingKey SpeedSAPI51{kSectionSpeech, u"SpeedSAPI5.1"};
inline constexpr SettingKey ShowErrorMsg2{kSectionSpeech, u"ShowErrorMsg2"};
inline constexpr SettingKey ClientNameUseDefault{kSectionZelk, u"ClientNameUseDefault"};
inline constexpr SettingKey ClientName{kSectionZelk, u"ClientName"};
inline constexpr SettingKey SayCallingInfo{kSectionZelk, u"SayCallingInfo"};
inline constexpr SettingKey SayCallingName{kSectionZelk, u"SayCallingName"};
inline constexpr SettingKey ShowDirectXInfo{kSectionZelk, u"ShowDirectXInfo"};
inline constexpr SettingKey RefreshConnection{kSectionZelk, u"RefreshConnection"};
inline constexpr SettingKey RefreshConnectionTimer{kSectionZelk, u"RefreshConnectionTimer"};
inline constexpr SettingKey FrameRate{kSectionZelk, u"FrameRate"};
inline constexpr SettingKey SelectNameTimerIntervall{kSectionZelk, u"SelectNameTimerIntervall"};
inline constexpr SettingKey SelectAuto{kSectionZelk, u"SelectAuto"};
inline constexpr SettingKey SelectMode{kSectionZelk, u"SelectMode"};
inline constexpr SettingKey EmulateTerminalServer{kSectionZelk, u"EmulateTerminalServer"};
inline constexpr SettingKey TerminalServerEnabled{kSectionZelk, u"TerminalServerEnabled"};
// Administrators may turn the self-update off ("0"/false); on by default.
inline constexpr SettingKey AllowSelfUpdate{kSectionZelk, u"AllowSelfUpdate"};

// CHECKVERSION is keyed by the program's own file name (which must outlive the key).
inline SettingKey checkVersion(QStringView exeFileName) { return {kSectionCheckVersion, exeFileName}; }

} // namespace keys

// The defaults of the reading sites.
namespace defaults {
// ServerName is read with the default "ERROR": that text means no server is configured.
inline constexpr QStringView ServerName = u"ERROR";
inline constexpr int ServerPort = 0;
// UpdateServerName/UpdateServerPort default to the main connection's host and port (self-update).
// Style has none: whatever is read is tried as a style name.
inline constexpr bool UseSAPI5 = false;          // flag: on only for "1"
inline constexpr QStringView ShowErrorMsg2 = u""; // the question is suppressed only by exactly "0"
inline constexpr QStringView ClientName = u"";
inline constexpr int SpeedSAPI51 = 0;
inline constexpr QStringView ClientNameUseDefault = u"1";
inline constexpr QStringView ShowDirectXInfo = u"0";
inline constexpr bool SayCallingInfo = false;
inline constexpr bool SayCallingName = false;
inline constexpr bool RefreshConnection = false;
inline constexpr int RefreshConnectionTimer = 1;
inline constexpr int FrameRate = 5;
inline constexpr int SelectNameTimerIntervall = 2000;
inline constexpr int SelectAuto = 3000;
inline constexpr int SelectMode = 1;
inline constexpr bool EmulateTerminalServer = false;
inline constexpr bool TerminalServerEnabled = true;
inline constexpr bool AllowSelfUpdate = true;
} // namespace defaults

} // namespace zelk
