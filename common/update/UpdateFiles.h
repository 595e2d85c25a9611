#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace zelk {

// Starts a program detached, with its arguments and working folder; false when it could not
// be started. The platform's is QProcess::startDetached; tests record instead.
using ProcessStarter =
    std::function<bool(const QString &program, const QStringList &arguments, const QString &workingFolder)>;
ProcessStarter platformProcessStarter();
#if !defined(Q_OS_WIN)
// The loader's search path for the started copy: the working folder (the program folder, which
// holds the hook library) and the starting program's folder, then the inherited path.
QString libraryPathForNewVersion(const QString &workingFolder, const QString &inherited);
#endif

// The arguments of the new version: "RESTARTING=1", then the running program's own arguments
// in order, each one argument as it was (a value with blanks stays one argument).
QStringList restartArguments(const QStringList &originalArguments);

// How storing a downloaded executable ended.
enum class StoreResult {
    Stored,        // the target holds the new bytes and is executable
    NotStorable,   // no folder, or the file could not be written; the target is as it was
    WrongVersion,  // the bytes are not the wanted version; the target is as it was
};

// Writes the bytes unchanged to a temporary file beside the target, checks that they carry
// the wanted product version, makes the file executable and only then renames it over the
// target. Whatever fails, no half-written or wrong program is left at the target.
// foundVersion receives the product version the bytes carry (or "<info not available>").
StoreResult storeExecutable(const QByteArray &bytes, const QString &target, int wantedVersion,
                            QString *foundVersion = nullptr);

} // namespace zelk
