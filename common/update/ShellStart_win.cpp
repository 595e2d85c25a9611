#include "common/update/ShellStart_win.h"

#include <windows.h>
#include <shellapi.h>

namespace zelk::win32 {

namespace {

std::wstring quoted(const std::wstring &argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows: then each is doubled and the quote escaped.
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\'); // before the closing quote
    out += L'"';
    return out;
}

} // namespace

std::wstring joinArguments(const std::vector<std::wstring> &arguments)
{
    std::wstring text;
    for (const std::wstring &argument : arguments) {
        if (!text.empty())
            text += L' ';
        text += quoted(argument);
    }
    return text;
}

bool shellOpen(const std::wstring &file, const std::wstring &parameters, const std::wstring &folder)
{
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters.c_str(),
                                           folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    // Values above 32 mean success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace zelk::win32
