// What Windows tells about the session, behind RemoteSessionInfo (SessionQuery_win has the
// Win32 calls). Takes the place of SessionInfo_linux.cpp in a Windows build.
#include "common/Identity.h"

#include "common/SessionQuery_win.h"

namespace zelk {

namespace {

RemoteSessionInfo::Answer toAnswer(const win32::SessionAnswer &answer)
{
    return {QString::fromStdWString(answer.name), QString::fromStdWString(answer.error)};
}

class WindowsSessionInfo final : public RemoteSessionInfo
{
public:
    bool isRemoteSession() const override { return win32::isRemoteSession(); }
    QString localComputerName() const override { return QString::fromStdWString(win32::computerName()); }
    Answer remoteDesktopClientName() const override { return toAnswer(win32::citrixClientName()); }
    Answer terminalClientName() const override { return toAnswer(win32::terminalClientName()); }
};

} // namespace

const RemoteSessionInfo &platformSessionInfo()
{
    static const WindowsSessionInfo info;
    return info;
}

} // namespace zelk
