#pragma once

#include <QString>

namespace zelk {

// Program-wide values of the speech output.
extern QString SelectedVoice;  // description of the voice to use ("Text2Speech"/"VoiceSAPI5.1")
extern bool SpeechAvailable;   // false until a speech form started its engine
extern QString LastSpokenText; // the last text handed to the voice, after rewriting

} // namespace zelk
