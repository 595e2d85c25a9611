#pragma once

#include <optional>
#include <string>

namespace zelk {

// --help and --version: answered from the raw argument vector, before any window system is
// touched, so that both work on a console without a display.
std::string clientHelpText();
std::string clientVersionText();

// The exit code when the arguments ask for help or the version (after printing it to
// standard output), nothing when the client is to start.
std::optional<int> answerInfoOptions(int argc, const char *const argv[]);

} // namespace zelk
