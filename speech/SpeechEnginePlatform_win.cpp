#include "speech/SpeechEnginePlatform.h"

namespace zelk {

QString defaultSpeechEngineName()
{
    return QStringLiteral("sapi");
}

} // namespace zelk
