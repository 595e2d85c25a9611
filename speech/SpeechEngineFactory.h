#pragma once

#include "speech/SpeechEngine.h"

#include <functional>
#include <memory>

namespace zelk {

// Where speech forms get their engine. The program uses Qt's text-to-speech; tests install a
// factory that hands out doubles (RecordingSpeechEngine, BlockingSpeechEngine).
//
// The factory is called on the speech engine's own thread, once for every engine a speech
// form starts (a stuck engine is replaced once, so a form may ask twice). What it returns
// is used and destroyed on that thread alone, so it must be created there, inside the
// factory, and have no parent. Whatever the factory captures is shared with that thread:
// keep it immutable or guard it (the factory itself is copied under a lock, so installing a
// new one while an engine starts is safe).
using SpeechEngineFactory = std::function<std::unique_ptr<SpeechEngine>()>;

// An empty factory restores the real engine.
void setSpeechEngineFactory(SpeechEngineFactory factory);
// Any thread; the result belongs to the calling thread.
std::unique_ptr<SpeechEngine> createSpeechEngine();

} // namespace zelk
