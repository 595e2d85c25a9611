#pragma once

#include "protocol/ClientTypes.h"

#include <QString>
#include <QStringList>

namespace zelk {

extern TZELKClientType ClientType; // always ctCall in this program
extern TZELKClientData ClientData;

// What the platform tells about the session the program runs in. On Linux a remote session is
// one reached over SSH or a remote-desktop server, recognised by the session's environment.
class RemoteSessionInfo
{
public:
    // A client-device name query: the name, or the reason the query itself failed.
    struct Answer
    {
        QString name;
        QString error; // not empty: the query failed
    };

    virtual ~RemoteSessionInfo() = default;
    virtual bool isRemoteSession() const = 0;
    // This computer's own name (the host name up to its first dot).
    virtual QString localComputerName() const = 0;
    // The device name as the remote-desktop product reports it (tried first).
    virtual Answer remoteDesktopClientName() const = 0;
    // The device name as the terminal session reports it (the fallback).
    virtual Answer terminalClientName() const = 0;
};

// The platform's implementation (a static instance).
const RemoteSessionInfo &platformSessionInfo();
// Replaces the session facts (not owned; tests); nullptr returns to the platform's.
void setRemoteSessionInfo(const RemoteSessionInfo *info);

bool IsRemoteSession();
// The computer's name, or in a remote session the name of the device the user sits at, in
// the form that travels in messages (WireSafeName).
QString GetMachineName();
// The same name as the platform reports it, unchecked.
QString machineNameAsReported();
// A name that can stand in a message field and in front of a settings section: without
// ":", "~", "¤" and "\". An IPv6 address (a remote device known by address only) takes its
// colon-free host-name spelling "fe80--1seth0.ipv6-literal.net" (an IPv4-mapped one its IPv4
// form); in any other name each such character becomes "-".
QString WireSafeName(const QString &name);
// The terminal session's client name, empty when it cannot be had.
QString GetTerminalClientName();
// Computed at every use: the machine name + "_Call", or the stored manual name.
QString GetClientName();
// Value of a NAME=value command-line parameter (first match wins, trimmed); with upper set the
// name matches in any letter case and the value comes back in capitals.
QString GetParamValue(const QString &name, bool upper = true);
// The arguments GetParamValue looks at (without the program name); tests replace them.
// Until set, the application's own arguments are used.
void setCommandLineArguments(const QStringList &arguments);
QStringList commandLineArguments();

} // namespace zelk
