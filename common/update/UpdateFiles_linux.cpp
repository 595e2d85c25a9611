// Starting the new version on Linux: a detached process with its arguments and working folder.
#include "common/update/UpdateFiles.h"

#include <QProcess>

namespace zelk {

ProcessStarter platformProcessStarter()
{
    return [](const QString &program, const QStringList &arguments, const QString &workingFolder) {
        return QProcess::startDetached(program, arguments, workingFolder);
    };
}

} // namespace zelk
