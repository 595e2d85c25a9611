#include "speech/SpeechVoices.h"

#include <algorithm>

namespace zelk {

qsizetype findVoiceByDescription(const QList<SpeechVoice> &voices, const QString &description)
{
    for (qsizetype i = 0; i < voices.size(); ++i) {
        if (voices.at(i).description == description)
            return i;
    }
    return -1;
}

qsizetype findSwedishVoice(const QList<SpeechVoice> &voices)
{
    for (qsizetype i = 0; i < voices.size(); ++i) {
        if (voices.at(i).locale.language() == QLocale::Swedish)
            return i;
    }
    return -1;
}

QStringList sortedVoiceDescriptions(const QList<SpeechVoice> &voices)
{
    QStringList descriptions;
    descriptions.reserve(voices.size());
    for (const SpeechVoice &voice : voices)
        descriptions.append(voice.description);
    std::stable_sort(descriptions.begin(), descriptions.end(),
                     [](const QString &a, const QString &b) {
                         return QString::compare(a, b, Qt::CaseInsensitive) < 0;
                     });
    return descriptions;
}

int clampRatePosition(int position)
{
    return std::clamp(position, kRateMin, kRateMax);
}

double engineRateForPosition(int position)
{
    return clampRatePosition(position) / 10.0;
}

} // namespace zelk
