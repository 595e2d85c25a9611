#pragma once

#include "speech/SpeechEngine.h"

#include <functional>
#include <memory>

namespace zelk {

// Where speech forms get their engine. The program uses Qt's text-to-speech; tests install a
// factory that hands out recording doubles.
using SpeechEngineFactory = std::function<std::unique_ptr<SpeechEngine>()>;

// An empty factory restores the real engine.
void setSpeechEngineFactory(SpeechEngineFactory factory);
std::unique_ptr<SpeechEngine> createSpeechEngine();

} // namespace zelk
