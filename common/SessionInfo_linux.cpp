#include "common/Identity.h"

#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// The session's environment tells whether it was reached from another device: SSH leaves
// SSH_CONNECTION/SSH_CLIENT, xrdp XRDP_SESSION, X2Go X2GO_SESSION; remote-desktop products
// that forward the device's name put it in CLIENTNAME, as on Windows.
class LinuxSessionInfo final : public RemoteSessionInfo
{
public:
    bool isRemoteSession() const override
    {
        for (const char *name : {"SSH_CONNECTION", "SSH_CLIENT", "XRDP_SESSION", "X2GO_SESSION"}) {
            if (!qEnvironmentVariable(name).isEmpty())
                return true;
        }
        return false;
    }

    QString localComputerName() const override
    {
        return QSysInfo::machineHostName().section(u'.', 0, 0);
    }

    Answer remoteDesktopClientName() const override
    {
        return {qEnvironmentVariable("CLIENTNAME").trimmed(), {}};
    }

    Answer terminalClientName() const override
    {
        // An SSH or X2Go session knows the device only by its address.
        const QString x2go = qEnvironmentVariable("X2GO_CLIENT").trimmed();
        if (!x2go.isEmpty())
            return {x2go, {}};
        QString ssh = qEnvironmentVariable("SSH_CONNECTION");
        if (ssh.isEmpty())
            ssh = qEnvironmentVariable("SSH_CLIENT");
        return {ssh.section(u' ', 0, 0, QString::SectionSkipEmpty), {}};
    }
};

} // namespace

const RemoteSessionInfo &platformSessionInfo()
{
    static const LinuxSessionInfo info;
    return info;
}

} // namespace zelk
