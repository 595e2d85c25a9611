// The calling client with a speech engine whose calls never return, as speech-dispatcher's
// do without a working sound device: speaking and stopping block the engine thread for good.
#include "app/ClientMain.h"
#include "speech/BlockingSpeechEngine.h"
#include "speech/SpeechEngineFactory.h"

#include <memory>

int main(int argc, char *argv[])
{
    auto gate = std::make_shared<zelk::SpeechEngineGate>(); // never released
    zelk::setSpeechEngineFactory([gate] {
        using Engine = zelk::BlockingSpeechEngine;
        return std::make_unique<Engine>(Engine::Speak | Engine::Stop, gate);
    });
    return zelk::runClient(argc, argv);
}
