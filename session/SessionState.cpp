#include "session/SessionState.h"

namespace zelk {

bool ReconnectAllowed = false;
bool CheckUpdateOnConnect = true;
QString ServerVersion;

int versionTextNumber(QStringView version, int notANumber)
{
    QString digits = version.toString();
    digits.remove(u'.');
    bool ok = false;
    const int number = digits.toInt(&ok, 10);
    return ok ? number : notANumber;
}

int serverVersionNumber(QStringView version)
{
    return versionTextNumber(version, 0);
}

bool versionTextBelow(QStringView version, QStringView than)
{
    const qsizetype common = qMin(version.size(), than.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (version[i] != than[i])
            return version[i].unicode() < than[i].unicode();
    }
    return version.size() < than.size();
}

int retryDelayMs(int random0To14999)
{
    return random0To14999 / 1000 * 1000 + 3000;
}

} // namespace zelk
