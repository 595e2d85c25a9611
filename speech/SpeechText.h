#pragma once

#include <QString>

namespace zelk {

// How a text handed to `say` is rewritten before the voice reads it. Resource names reach
// the speech output with the drum's colour markers still around them and with personal
// numbers written the way the clinic stores them; the voice should hear neither.

// Removes the opening marker !"#¤%&, then every empty marker pair, then the closing
// marker &%¤#"!.
QString removeSpeechMarkers(const QString &text);

// Rewrites the personal number around the first dash so that it is read in pairs:
// "451224-5678" becomes "45 12 24, 56 78", "19451224-5678" becomes "1900 45 12 24, 56 78".
// Anything else is returned unchanged.
QString readPersonalNumber(const QString &text);

// The whole rewriting: markers, personal number, then every dash to a blank.
QString rewriteForSpeech(const QString &sayString);

} // namespace zelk
