#pragma once

namespace zelk {

// The whole client: single instance, folders, style, the calling window and its message
// loop. Returns the process's exit code (1 once the calling window has closed for good).
// The program's main() is nothing but this; test builds of the client call it after they
// have put their doubles in place.
int runClient(int argc, char *argv[]);

} // namespace zelk
