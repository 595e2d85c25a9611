// Starting the new version on Linux: a detached process with its arguments and working folder.
#include "common/update/UpdateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

using namespace Qt::StringLiterals;

namespace zelk {

QString libraryPathForNewVersion(const QString &workingFolder, const QString &inherited)
{
    // The copy runs from the data folder, where the hook library is not. Windows finds a DLL in
    // the working folder, which is the program folder; here the loader is told to look there,
    // and beside the program that starts it, before wherever it looked already.
    QStringList folders{QDir::cleanPath(workingFolder), QCoreApplication::applicationDirPath()};
    for (const QString &folder : inherited.split(u':', Qt::SkipEmptyParts))
        folders.append(folder);
    folders.removeDuplicates();
    folders.removeAll(QString());
    return folders.join(u':');
}

ProcessStarter platformProcessStarter()
{
    return [](const QString &program, const QStringList &arguments, const QString &workingFolder) {
        QProcess process;
        process.setProgram(program);
        process.setArguments(arguments);
        process.setWorkingDirectory(workingFolder);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"LD_LIBRARY_PATH"_s,
                           libraryPathForNewVersion(workingFolder, environment.value(u"LD_LIBRARY_PATH"_s)));
        process.setProcessEnvironment(environment);
        return process.startDetached();
    };
}

} // namespace zelk
