#include "server/ServerSetup.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace zelk::server {

std::optional<ServerState> loadInitialState(const QString &dataFile, const QString &stateFile,
                                            QString *error)
{
    const QString path = !stateFile.isEmpty() && QFile::exists(stateFile) ? stateFile : dataFile;
    if (path.isEmpty())
        return ServerState::demo();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + u": "_s + file.errorString();
        return std::nullopt;
    }
    ServerState state;
    QString why;
    if (!state.loadJson(file.readAll(), &why)) {
        *error = path + u": "_s + why;
        return std::nullopt;
    }
    return state;
}

QString versionNumber(const QString &version)
{
    QString digits = version.trimmed();
    digits.remove(u'.');
    bool ok = false;
    const qlonglong n = digits.toLongLong(&ok);
    return ok && n > 0 ? QString::number(n) : QString();
}

QStringList publishUpdateVersion(ServerState &state, const QString &updateDir, const QString &version)
{
    const QString number = versionNumber(version);
    QStringList names;
    if (number.isEmpty())
        return names;
    names = QDir(updateDir).entryList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : std::as_const(names))
        state.setSetting(QString(), u"CHECKVERSION"_s, name, number);
    return names;
}

} // namespace zelk::server
