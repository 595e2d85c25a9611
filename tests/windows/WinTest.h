#pragma once

// A few lines of test support for the Win32 test programs that run under Wine: checks that
// report what failed and go on, and a closing line with the result. No framework: these
// programs are cross-compiled without Qt.

#include <cstdio>
#include <string>

namespace wintest {

inline int &failures()
{
    static int count = 0;
    return count;
}

inline int &checks()
{
    static int count = 0;
    return count;
}

inline bool check(bool ok, const char *what, const char *file, int line)
{
    ++checks();
    if (!ok) {
        ++failures();
        std::printf("FAIL %s:%d: %s\n", file, line, what);
        std::fflush(stdout);
    }
    return ok;
}

inline std::string narrow(const std::wstring &text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

template <typename A, typename E>
bool checkEqual(const A &actual, const E &expected, const char *what, const char *file, int line)
{
    const bool ok = actual == expected;
    if (!check(ok, what, file, line)) {
        if constexpr (requires { std::to_string(actual); })
            std::printf("  actual: %s\n", std::to_string(actual).c_str());
    }
    return ok;
}

// Prints the closing line and gives the exit code.
inline int finish(const char *name)
{
    if (failures() == 0)
        std::printf("PASS %s (%d checks)\n", name, checks());
    else
        std::printf("FAILED %s: %d of %d checks failed\n", name, failures(), checks());
    std::fflush(stdout);
    return failures() == 0 ? 0 : 1;
}

} // namespace wintest

#define WCHECK(condition) ::wintest::check((condition), #condition, __FILE__, __LINE__)
#define WCHECK_EQ(actual, expected)                                                                   \
    ::wintest::checkEqual((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
