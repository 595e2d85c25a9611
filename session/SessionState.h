#pragma once

#include <QString>
#include <QStringView>

#include <functional>

namespace zelk {

// Program-wide values of the server session.
extern bool ReconnectAllowed;     // a connection has come up: losses are retried silently
extern bool CheckUpdateOnConnect; // the next connect runs the update check
extern QString ServerVersion;     // version text of the last RETSERVERVERSION

// The lowest server the client works with, "1.10.1" with its dots removed.
inline constexpr int kMinimumServerVersion = 1101;
inline constexpr QStringView kMinimumServerVersionText = u"1.10.1";

// The version text with every "." removed, as a decimal number ("1.10.1" gives 1101), or
// `notANumber` when it is none.
int versionTextNumber(QStringView version, int notANumber);
// The server's version as the version check reads it: 0 when it is no number.
int serverVersionNumber(QStringView version);

// Character-by-character comparison by character code; a prefix counts as smaller and an
// empty version is below everything. Decides which messages an older server understands.
bool versionTextBelow(QStringView version, QStringView than);

// A whole number of seconds from 3 to 17, in milliseconds, from a random r in 0..14999.
int retryDelayMs(int random0To14999);

} // namespace zelk
