#include "speech/SpeechEngineFactory.h"

#include "speech/QtSpeechEngine.h"

namespace zelk {

namespace {
SpeechEngineFactory &installedFactory()
{
    static SpeechEngineFactory factory;
    return factory;
}
} // namespace

void setSpeechEngineFactory(SpeechEngineFactory factory)
{
    installedFactory() = std::move(factory);
}

std::unique_ptr<SpeechEngine> createSpeechEngine()
{
    if (installedFactory())
        return installedFactory()();
    return std::make_unique<QtSpeechEngine>();
}

} // namespace zelk
