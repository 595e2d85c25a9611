#include "common/Identity.h"

#include "common/Prompts.h"
#include "common/Settings.h"
#include "protocol/Framing.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QLocale>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace zelk {

TZELKClientType ClientType = TZELKClientType::ctCall;
TZELKClientData ClientData;

namespace {

const RemoteSessionInfo *g_sessionInfo = nullptr;
std::optional<QStringList> g_arguments;

const RemoteSessionInfo &sessionInfo()
{
    return g_sessionInfo ? *g_sessionInfo : platformSessionInfo();
}

QString upperCased(const QString &text)
{
    return QLocale().toUpper(text);
}

// The characters that delimit fields, messages and the machine part of a settings address.
bool isWireSeparator(QChar c)
{
    return c == u':' || c == u'~' || c == kFrameChar || c == u'\\';
}

} // namespace

QString WireSafeName(const QString &name)
{
    if (!std::any_of(name.cbegin(), name.cend(), isWireSeparator))
        return name;
    // A device known only by its IPv6 address: the address's own colon-free spelling, as
    // Windows writes such an address into a host name (fe80--1seth0.ipv6-literal.net).
    const QHostAddress address(name.trimmed());
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        bool mapped = false;
        const QHostAddress v4(address.toIPv4Address(&mapped));
        if (mapped)
            return v4.toString();
        QString literal = address.toString();
        literal.replace(u':', u'-').replace(u'%', u's');
        return literal + u".ipv6-literal.net"_s;
    }
    QString safe = name;
    std::replace_if(safe.begin(), safe.end(), isWireSeparator, QChar(u'-'));
    return safe;
}

void setRemoteSessionInfo(const RemoteSessionInfo *info)
{
    g_sessionInfo = info;
}

bool IsRemoteSession()
{
    return sessionInfo().isRemoteSession();
}

QString GetTerminalClientName()
{
    const RemoteSessionInfo::Answer answer = sessionInfo().terminalClientName();
    return answer.error.isEmpty() ? answer.name : QString();
}

QString GetMachineName()
{
    return WireSafeName(machineNameAsReported());
}

QString machineNameAsReported()
{
    const RemoteSessionInfo &info = sessionInfo();
    if (!info.isRemoteSession())
        return info.localComputerName();

    const RemoteSessionInfo::Answer remote = info.remoteDesktopClientName();
    if (remote.error.isEmpty()) {
        if (!remote.name.trimmed().isEmpty())
            return remote.name;
        return GetTerminalClientName();
    }
    // The remote-desktop query failed: try the terminal session, and tell the user only when
    // both ways failed.
    QString note = u"Citrix: "_s + remote.error + u'\r';
    const RemoteSessionInfo::Answer terminal = info.terminalClientName();
    if (terminal.error.isEmpty())
        return terminal.name;
    note += u"TerminalServer: "_s + terminal.error;
    ShowError(u"Det gick inte att hämta datornamnet i fjärrsessionen!\r\r"_s + note);
    return {};
}

QString GetClientName()
{
    if (ReadSettingDef(keys::ClientNameUseDefault, defaults::ClientNameUseDefault.toString()) == u"1")
        return GetMachineName() + u'_' + clientTypeSuffix(ClientType);
    // A name typed before names were checked may still hold a separator.
    return WireSafeName(ReadSettingDef(keys::ClientName, QString()));
}

void setCommandLineArguments(const QStringList &arguments)
{
    g_arguments = arguments;
}

QStringList commandLineArguments()
{
    if (g_arguments)
        return *g_arguments;
    return QCoreApplication::arguments().mid(1);
}

QString GetParamValue(const QString &name, bool upper)
{
    QString prefix = name + u'=';
    if (upper)
        prefix = upperCased(prefix);
    QString value;
    const QStringList arguments = commandLineArguments();
    for (const QString &argument : arguments) {
        QString head = argument.left(prefix.size());
        if (upper)
            head = upperCased(head);
        if (head == prefix) {
            value = argument.mid(prefix.size()).trimmed();
            break;
        }
    }
    return upper ? upperCased(value) : value;
}

} // namespace zelk
