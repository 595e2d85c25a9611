#pragma once

#include "speech/SpeechEngine.h"

#include <QStringList>

namespace zelk {

// Voice choice and rate conversion, apart from the form that shows them.

inline constexpr int kRateMin = -10;
inline constexpr int kRateMax = 10;

// The first voice in engine order whose description equals the text exactly, or -1.
qsizetype findVoiceByDescription(const QList<SpeechVoice> &voices, const QString &description);

// Every text the program speaks is Swedish, so when the stored voice is not installed a
// Swedish voice reads it rather than the engine's default, which may be of any language.
// The first Swedish voice in engine order, or -1 when there is none.
qsizetype findSwedishVoice(const QList<SpeechVoice> &voices);

// The descriptions as the sorted voice list shows them (ignoring letter case, equal
// descriptions kept).
QStringList sortedVoiceDescriptions(const QList<SpeechVoice> &voices);

// The slider's -10..10 onto the engine's -1.0..1.0; positions outside are limited first.
int clampRatePosition(int position);
double engineRateForPosition(int position);

} // namespace zelk
