#pragma once

// Starting the new version of the client, plain Win32: ShellExecuteW with the verb "open",
// the parameters and the working folder. The Qt side (UpdateFiles_win.cpp) is the platform's
// ProcessStarter.

#include <string>
#include <vector>

namespace zelk::win32 {

// The arguments as one parameter text that the started program splits back into the same
// arguments (CommandLineToArgvW's rules): an argument with a blank, a tab or a double quote,
// or an empty one, is quoted, and backslashes before a quote are doubled.
std::wstring joinArguments(const std::vector<std::wstring> &arguments);

// ShellExecuteW(nullptr, "open", file, parameters, folder, SW_SHOWNORMAL); true when started.
bool shellOpen(const std::wstring &file, const std::wstring &parameters, const std::wstring &folder);

} // namespace zelk::win32
