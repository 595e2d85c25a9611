#include "speech/SpeechEngineFactory.h"

#include "speech/QtSpeechEngine.h"

#include <QMutex>

namespace zelk {

namespace {
QMutex factoryMutex;
SpeechEngineFactory installedFactory;
} // namespace

void setSpeechEngineFactory(SpeechEngineFactory factory)
{
    const QMutexLocker lock(&factoryMutex);
    installedFactory = std::move(factory);
}

std::unique_ptr<SpeechEngine> createSpeechEngine()
{
    SpeechEngineFactory factory;
    {
        const QMutexLocker lock(&factoryMutex);
        factory = installedFactory;
    }
    if (factory)
        return factory();
    return std::make_unique<QtSpeechEngine>();
}

} // namespace zelk
