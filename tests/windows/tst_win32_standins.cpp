// The Win32 stand-ins of the platform layer under Wine: the registry hives, identity, the
// version resource and starting a program with ShellExecuteW.
#include "common/RegistryWin32_win.h"
#include "common/SessionQuery_win.h"
#include "common/update/ShellStart_win.h"
#include "common/update/VersionResource_win.h"
#include "WinTest.h"

#include <windows.h>

#include <string>
#include <vector>

using namespace zelk::win32;

namespace {

const std::wstring kPath = L"SOFTWARE\\Kestrova\\C_ZELK_Test\\ZELK";

std::wstring besideMe(const wchar_t *file)
{
    const std::wstring self = ownModuleFile();
    return self.substr(0, self.find_last_of(L'\\') + 1) + file;
}

// The value as the registry itself holds it, read without the stand-in.
std::wstring rawValue(HKEY root, const std::wstring &path, const wchar_t *name, DWORD *type)
{
    std::vector<wchar_t> buffer(4096, L'\0');
    DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, type, buffer.data(), &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer.data();
}

void registryTests()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegDeleteTreeW(root, L"SOFTWARE\\Kestrova\\C_ZELK_Test");
        std::wstring error;
        WCHECK(regWriteString(root, kPath, L"ServerName", L"  signal.example  ", &error));
        WCHECK(regReadString(root, kPath, L"ServerName") == L"  signal.example  ");
        // Under the exact key path, as REG_SZ.
        DWORD type = 0;
        WCHECK(rawValue(root, kPath, L"ServerName", &type) == L"  signal.example  ");
        WCHECK_EQ(type, static_cast<DWORD>(REG_SZ));

        // 1024 characters are stored and read back; 1025 are refused.
        const std::wstring longest(1024, L'x');
        WCHECK(regWriteString(root, kPath, L"Longest", longest, &error));
        WCHECK(regReadString(root, kPath, L"Longest") == longest);
        WCHECK(!regWriteString(root, kPath, L"TooLong", std::wstring(1025, L'y'), &error));
        WCHECK(!error.empty());
        WCHECK(rawValue(root, kPath, L"TooLong", &type) == L"<missing>");
        // A value that another program stored longer than 1024 characters reads as absent.
        const std::wstring tooLong(1025, L'z');
        HKEY key = nullptr;
        WCHECK(RegOpenKeyExW(root, kPath.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS);
        RegSetValueExW(key, L"Foreign", 0, REG_SZ, reinterpret_cast<const BYTE *>(tooLong.c_str()),
                       static_cast<DWORD>((tooLong.size() + 1) * sizeof(wchar_t)));
        // A value stored without its terminating zero ends where its data ends.
        RegSetValueExW(key, L"Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE *>(L"abc"), 3 * sizeof(wchar_t));
        RegCloseKey(key);
        WCHECK(regReadString(root, kPath, L"Foreign").empty());
        WCHECK(regReadString(root, kPath, L"Unterminated") == L"abc");

        // Missing values and keys read empty; the default value of a key by the empty name.
        WCHECK(regReadString(root, kPath, L"NoSuchValue").empty());
        WCHECK(regReadString(root, kPath + L"\\NoSuchKey", L"ServerName").empty());
        WCHECK(regWriteString(root, kPath, L"", L"default", &error));
        WCHECK(regReadString(root, kPath, L"") == L"default");
        RegDeleteTreeW(root, L"SOFTWARE\\Kestrova\\C_ZELK_Test");
    }
    // The hives are apart.
    std::wstring error;
    WCHECK(regWriteString(HKEY_CURRENT_USER, kPath, L"OnlyUser", L"1", &error));
    WCHECK(regReadString(HKEY_LOCAL_MACHINE, kPath, L"OnlyUser").empty());
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Kestrova\\C_ZELK_Test");

    WCHECK(!systemErrorText(ERROR_ACCESS_DENIED).empty());
}

void identityTests()
{
    const std::wstring name = computerName();
    WCHECK(!name.empty() && name.size() <= 15);
    wchar_t expected[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(expected, &size);
    WCHECK(name == expected);
    std::printf("  computer name %s, remote session %d\n", wintest::narrow(name).c_str(), isRemoteSession() ? 1 : 0);
    WCHECK(!isRemoteSession()); // a local Wine desktop

    // The remote-session queries run: without wfapi.dll the Citrix query is an error, and the
    // terminal-services query answers without one.
    std::wstring error;
    WCHECK(!loadCitrixLibrary(&error));
    WCHECK(error == L"An error occurred while trying to load WFAPI.dll!");
    const SessionAnswer citrix = citrixClientName();
    WCHECK(!citrix.error.empty() && citrix.name.empty());
    const SessionAnswer terminal = terminalClientName();
    WCHECK(terminal.error.empty());
    std::printf("  terminal client name \"%s\"\n", wintest::narrow(terminal.name).c_str());
}

void versionTests()
{
    // This program carries the VERSIONINFO resource made from the project's version.
    const VersionResource own = readVersionResource(ownModuleFile());
    WCHECK(own.available);
    WCHECK(own.strings[8] == ZELK_TEST_PRODUCT_VERSION_W);
    WCHECK(own.strings[7] == L"ZELK Windows Kallelseklient");
    WCHECK(own.strings[0] == L"Kestrova");
    WCHECK(own.strings[9].empty()); // Comments: not in the resource
    WCHECK(own.fileVersion[0] == std::to_wstring(ZELK_TEST_VERSION_MAJOR));
    std::printf("  product version %s, file version %s\n", wintest::narrow(own.strings[8]).c_str(),
                wintest::narrow(own.strings[2]).c_str());

    // The hook DLL has one too; instance_probe.exe and a missing file have none.
    WCHECK(readVersionResource(besideMe(L"KV_HookKeyboard.dll")).strings[8] == ZELK_TEST_PRODUCT_VERSION_W);
    for (const wchar_t *file : {L"instance_probe.exe", L"no_such_file.exe"}) {
        const VersionResource none = readVersionResource(besideMe(file));
        WCHECK(!none.available);
        WCHECK(none.strings[8] == kInfoNotAvailable);
        WCHECK(none.fileVersion[3] == kInfoNotAvailable);
    }

    struct Split
    {
        const wchar_t *text;
        std::array<std::wstring, 4> parts;
    };
    const std::wstring na = kInfoNotAvailable;
    for (const Split &s : {Split{L"1.10.4.0", {L"1", L"10", L"4", L"0"}}, Split{L"2,0,1,7", {L"2", L"0", L"1", L"7"}},
                           Split{L"1.2", {L"1", L"2", L"", L""}}, Split{L"", {na, na, na, na}},
                           Split{L"17", {na, na, na, na}}})
        WCHECK(splitFileVersion(s.text) == s.parts);
}

void shellTests()
{
    struct Join
    {
        std::vector<std::wstring> arguments;
        const wchar_t *text;
    };
    for (const Join &j : {Join{{L"RESTARTING=1", L"NAME=Rum"}, L"RESTARTING=1 NAME=Rum"},
                          Join{{L"PLACE=Room 4"}, L"\"PLACE=Room 4\""}, Join{{L""}, L"\"\""},
                          Join{{L"say \"hi\""}, L"\"say \\\"hi\\\"\""},
                          Join{{L"C:\\Program Files\\"}, L"\"C:\\Program Files\\\\\""}})
        WCHECK(joinArguments(j.arguments) == j.text);

    // The started program sees the same arguments again, in the given working folder.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"zelk shell test";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring report = folder + L"\\arguments.txt";
    DeleteFileW(report.c_str());
    const std::vector<std::wstring> arguments = {L"RESTARTING=1", L"PLACE=Room 4", L"NAME=Rum"};
    WCHECK(shellOpen(besideMe(L"argument_probe.exe"), joinArguments(arguments), folder));
    std::wstring seen;
    for (int i = 0; i < 200 && seen.empty(); ++i) {
        Sleep(50);
        HANDLE file = CreateFileW(report.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        wchar_t buffer[512] = {};
        DWORD bytes = 0;
        ReadFile(file, buffer, sizeof buffer - sizeof(wchar_t), &bytes, nullptr);
        CloseHandle(file);
        seen = buffer;
    }
    const std::wstring expected = L"RESTARTING=1|PLACE=Room 4|NAME=Rum|in " + folder;
    if (!WCHECK(seen == expected))
        std::printf("  seen: %s\n", wintest::narrow(seen).c_str());
    WCHECK(!shellOpen(besideMe(L"no_such_program.exe"), L"", folder));
    DeleteFileW(report.c_str());
    RemoveDirectoryW(folder.c_str());
}

} // namespace

int main()
{
    registryTests();
    identityTests();
    versionTests();
    shellTests();
    return wintest::finish("tst_win32_standins");
}
