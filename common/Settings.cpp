#include "common/Settings.h"

#include "common/Identity.h"
#include "common/Prompts.h"
#include "protocol/Codepage.h"
#include "protocol/Messages.h"

#include <QDir>
#include <QEventLoop>
#include <QList>
#include <QStandardPaths>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace zelk {

QString ProgramFolder;
QString RegistryFolderKey;
QString DataFolder;
QPointer<QAbstractSocket> MainSocket;
std::function<void(bool refresh)> ReconnectHook;
std::function<void()> ReloadSettingsHook;

namespace {

// The answer of the server: one text and one flag for the whole program, since RETINITEXT
// names no key. Whichever reply arrives while a query waits is that query's answer.
QString g_replyText;
bool g_replyReceived = false;
// The event loops of the queries now waiting, innermost last.
QList<QEventLoop *> g_waitingQueries;
std::chrono::milliseconds g_waitInterval{5000};

bool mainSocketOpen()
{
    return MainSocket && MainSocket->state() == QAbstractSocket::ConnectedState;
}

void sendToServer(const QString &message)
{
    MainSocket->write(toCodePage(message));
}

// Sends one GETINITEXT and waits for RETINITEXT while the event loop keeps running (so the
// socket's read handler can deliver the reply). Blank when closed, unanswered or empty.
QString serverQuery(const QString &message)
{
    g_replyText.clear();
    g_replyReceived = false;
    if (!mainSocketOpen())
        return {};

    // Each query has its own timer: a query started by a handler that runs inside this wait
    // must not cut short or lengthen this one's time.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait 5 % early
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&timedOut, &loop] {
        timedOut = true;
        loop.quit();
    });
    timer.start(g_waitInterval);
    sendToServer(message);

    g_waitingQueries.append(&loop);
    // A nested query may have consumed the reply and cleared the flag before this loop got
    // control back; then this query goes on waiting for its own time.
    while (!g_replyReceived && !timedOut)
        loop.exec();
    g_waitingQueries.removeOne(&loop);
    timer.stop();
    return g_replyReceived ? g_replyText : QString();
}

bool isBlank(const QString &value)
{
    return value.trimmed().isEmpty();
}

// The workstation's own identity. A shared value would make every workstation without
// local settings name itself after the one desk that wrote it, so these keys live per
// machine only, on the server as in the registry.
bool isPerMachineOnly(const QString &section, const QString &key)
{
    for (const SettingKey &k : {keys::ClientName, keys::ClientNameUseDefault}) {
        if (section.compare(k.sectionText(), Qt::CaseInsensitive) == 0
            && key.compare(k.keyText(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString sharedLookup(const QString &section, const QString &key)
{
    // Without a connection neither query is sent; the machine name is not even worked out
    // (in a remote session that can mean asking the session, or a message box).
    if (!mainSocketOpen()) {
        g_replyText.clear();
        g_replyReceived = false;
        return kNotFound.toString();
    }
    QString value = serverQuery(msg::getIniTextPerClient(GetMachineName(), section, key));
    if (isBlank(value) && !isPerMachineOnly(section, key))
        value = serverQuery(msg::getIniTextShared(section, key));
    if (isBlank(value))
        value = kNotFound.toString();
    return value;
}

QString withDefault(const QString &value, const QString &def)
{
    return value.trimmed() == kNotFound ? def : value;
}

} // namespace

QString registryFolderKeyFor(const QString &programFolder)
{
    QString folder = programFolder;
    if (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\')))
        folder.chop(1);
    folder.replace(u' ', u'_').replace(u'\\', u'_').replace(u'/', u'_').remove(u':');
    return folder + u'\\';
}

QString settingsRegistryPath(const QString &section)
{
    return kRegistryBaseKey + RegistryFolderKey + section;
}

bool PrepareFolders()
{
    const QString current = QDir::currentPath();
    if (current.isEmpty()) {
        // Without it no settings path can be formed; the program goes on with the defaults.
        ShowError(u"Unable to get Current path"_s);
        return false;
    }
    // getcwd already spells the folder as it is on disk, without symbolic links.
    ProgramFolder = current.endsWith(u'/') ? current : current + u'/';
    RegistryFolderKey = registryFolderKeyFor(ProgramFolder);

    const QString appData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString data = appData.isEmpty() ? QString() : QDir(appData).filePath(u"Kestrova/ZELK"_s);
    DataFolder = (!data.isEmpty() && QDir().mkpath(data)) ? data + u'/' : QString();
    return true;
}

QString ReadSetting(const QString &section, const QString &key)
{
    const QString path = settingsRegistryPath(section);
    QString value = RegReadString(RegistryRoot::CurrentUser, path, key);
    if (isBlank(value))
        value = RegReadString(RegistryRoot::LocalMachine, path, key);
    if (isBlank(value))
        value = sharedLookup(section, key);
    return value;
}

QString ReadSettingDef(const QString &section, const QString &key, const QString &def)
{
    return withDefault(ReadSetting(section, key), def);
}

QString ReadSharedSetting(const QString &section, const QString &key)
{
    return sharedLookup(section, key);
}

QString ReadSharedSettingDef(const QString &section, const QString &key, const QString &def)
{
    return withDefault(ReadSharedSetting(section, key), def);
}

void WriteSetting(const QString &section, const QString &key, const QString &value)
{
    const QString path = settingsRegistryPath(section);
    const bool userStored = RegWriteString(RegistryRoot::CurrentUser, path, key, value);
    const bool machineStored = RegWriteString(RegistryRoot::LocalMachine, path, key, value);
    if (!machineStored && userStored) {
        RegWriteString(RegistryRoot::CurrentUser, kWriteErrorKey.toString(),
                       kWriteErrorValue.toString(), LastRegistryError);
    }
    if (mainSocketOpen()) {
        sendToServer(msg::setIniTextPerClient(GetMachineName(), section, key, value));
        if (!isPerMachineOnly(section, key))
            sendToServer(msg::setIniTextShared(section, key, value));
    }
}

QString ReadSetting(const SettingKey &k)
{
    return ReadSetting(k.sectionText(), k.keyText());
}

QString ReadSettingDef(const SettingKey &k, const QString &def)
{
    return ReadSettingDef(k.sectionText(), k.keyText(), def);
}

QString ReadSharedSetting(const SettingKey &k)
{
    return ReadSharedSetting(k.sectionText(), k.keyText());
}

QString ReadSharedSettingDef(const SettingKey &k, const QString &def)
{
    return ReadSharedSettingDef(k.sectionText(), k.keyText(), def);
}

void WriteSetting(const SettingKey &k, const QString &value)
{
    WriteSetting(k.sectionText(), k.keyText(), value);
}

bool readBoolSetting(const SettingKey &k, bool def)
{
    return settingToBool(ReadSetting(k), def);
}

int readIntSetting(const SettingKey &k, int def)
{
    return settingToInt(ReadSetting(k), def);
}

bool readFlagSetting(const SettingKey &k, bool def)
{
    return ReadSettingDef(k, def ? u"1"_s : u"0"_s) == u"1";
}

bool settingToBool(const QString &text, bool def)
{
    const QString trimmed = text.trimmed();
    bool isInteger = false;
    const qlonglong number = trimmed.toLongLong(&isInteger);
    if (isInteger)
        return number != 0;
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    return def;
}

int settingToInt(const QString &text, int def)
{
    bool isInteger = false;
    const int number = text.trimmed().toInt(&isInteger);
    return isInteger ? number : def;
}

QString boolToSetting(bool value)
{
    return value ? u"-1"_s : u"0"_s;
}

void deliverIniTextReply(const QString &value)
{
    g_replyText = value;
    g_replyReceived = true;
    // Every waiting query sees the one flag; the innermost returns first, the outer ones when
    // control comes back to them.
    for (QEventLoop *loop : std::as_const(g_waitingQueries))
        loop->quit();
}

std::chrono::milliseconds serverWaitInterval()
{
    return g_waitInterval;
}

void setServerWaitInterval(std::chrono::milliseconds interval)
{
    g_waitInterval = interval;
}

} // namespace zelk
