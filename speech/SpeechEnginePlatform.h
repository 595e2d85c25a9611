#pragma once

#include <QString>

namespace zelk {

// The QTextToSpeech engine that stands in for SAPI on this platform: "sapi" on Windows (the
// Microsoft Speech API itself), "speechd" (speech-dispatcher) on Linux.
QString defaultSpeechEngineName();

// Called before an engine is made. On Linux libspeechd writes to the dispatcher's
// socket without asking the system to spare the program a SIGPIPE: a dispatcher that went
// away (it crashed, or the session restarted it) would end the whole program at the next
// text, stop or engine change. The program ignores SIGPIPE instead; Qt's own sockets and
// pipes report a closed peer as an error either way.
void prepareProcessForSpeechEngine();

} // namespace zelk
