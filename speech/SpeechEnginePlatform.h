#pragma once

#include <QString>

namespace zelk {

// The QTextToSpeech engine that stands in for SAPI on this platform: "sapi" on Windows (the
// Microsoft Speech API itself), "speechd" (speech-dispatcher) on Linux.
QString defaultSpeechEngineName();

} // namespace zelk
