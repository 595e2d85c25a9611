#include "speech/SpeechEnginePlatform.h"

namespace zelk {

QString defaultSpeechEngineName()
{
    return QStringLiteral("sapi");
}

void prepareProcessForSpeechEngine()
{
    // Windows has no SIGPIPE: a closed pipe or socket is an error of the call.
}

} // namespace zelk
