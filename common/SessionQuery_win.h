#pragma once

// What Windows tells about the session the client runs in, plain Win32: the computer's name,
// whether the session is remote, and the name of the device a remote user sits at, from the
// Citrix client library (loaded at run time, only when present) or from terminal services.
// The Qt side (SessionInfo_win.cpp) puts them behind RemoteSessionInfo.

#include <string>

namespace zelk::win32 {

struct SessionAnswer
{
    std::wstring name;
    std::wstring error; // not empty: the query itself failed
};

// GetSystemMetrics(SM_REMOTESESSION).
bool isRemoteSession();
// GetComputerNameW with room for 16 characters; empty when it fails.
std::wstring computerName();

// Loads wfapi.dll and its entry points once: true when they are there. A library that cannot
// be loaded is an error (in *error); one without the entry points is simply not used. A failed
// load is tried again at the next call; a successful one lasts until the program ends.
bool loadCitrixLibrary(std::wstring *error);
// The client device's name from Citrix (WFQuerySessionInformationW, class 10).
SessionAnswer citrixClientName();
// The client device's name from terminal services (WTSQuerySessionInformationW, WTSClientName).
SessionAnswer terminalClientName();

} // namespace zelk::win32
