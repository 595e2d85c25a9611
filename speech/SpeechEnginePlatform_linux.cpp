#include "speech/SpeechEnginePlatform.h"

namespace zelk {

QString defaultSpeechEngineName()
{
    return QStringLiteral("speechd");
}

} // namespace zelk
