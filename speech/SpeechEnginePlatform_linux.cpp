#include "speech/SpeechEnginePlatform.h"

#include <csignal>

namespace zelk {

QString defaultSpeechEngineName()
{
    return QStringLiteral("speechd");
}

void prepareProcessForSpeechEngine()
{
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace zelk
