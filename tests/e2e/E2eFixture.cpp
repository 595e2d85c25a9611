#include "tests/e2e/E2eFixture.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace zelk::test {

QString binDir()
{
    return qEnvironmentVariable("ZELK_BIN_DIR");
}

namespace {

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

} // namespace

E2eDisplay::~E2eDisplay()
{
    stop(m_xvfb);
}

bool E2eDisplay::start(QString *reason)
{
    if (QStandardPaths::findExecutable(u"Xvfb"_s).isEmpty() || QStandardPaths::findExecutable(u"xdotool"_s).isEmpty()) {
        *reason = u"Xvfb and xdotool are needed"_s;
        return false;
    }
    // Xvfb picks a free display and writes its number to the given descriptor (stdout).
    m_xvfb.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1024x768x24"_s, u"-nolisten"_s, u"tcp"_s});
    if (!m_xvfb.waitForStarted()) {
        *reason = u"Xvfb does not start"_s;
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_xvfb.canReadLine() && timer.elapsed() < 15000)
        m_xvfb.waitForReadyRead(100);
    if (!m_xvfb.canReadLine()) {
        *reason = u"Xvfb names no display"_s;
        return false;
    }
    m_display = u':' + QString::fromLatin1(m_xvfb.readLine()).trimmed();
    return true;
}

QString E2eDisplay::xdotool(const QStringList &arguments, int *exitCode) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_display);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(u"xdotool"_s, arguments);
    process.waitForFinished(10000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void E2eDisplay::pedalDown() const
{
    xdotool({u"keydown"_s, u"alt"_s, u"keydown"_s, u"F12"_s});
}

void E2eDisplay::pedalUp() const
{
    xdotool({u"keyup"_s, u"F12"_s, u"keyup"_s, u"alt"_s});
}

bool E2eDisplay::windowVisible(const QString &titlePattern) const
{
    int exitCode = 1;
    const QString found = xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, titlePattern}, &exitCode);
    return exitCode == 0 && !found.isEmpty();
}

E2eServer::~E2eServer()
{
    stop(m_process);
}

bool E2eServer::start(const QStringList &extraArguments)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(binDir() + u"/zelk-server"_s,
                    QStringList{u"--port"_s, u"0"_s, u"--no-stdin"_s, u"--control"_s, m_dir.filePath(u"ctl"_s)}
                        + extraArguments);
    if (!m_process.waitForStarted())
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine() && timer.elapsed() < 10000)
        m_process.waitForReadyRead(100);
    const QString first = QString::fromUtf8(m_process.readLine());
    const auto match = QRegularExpression(u":(\\d+)"_s).match(first);
    if (!match.hasMatch())
        return false;
    m_port = match.captured(1).toUShort();
    return true;
}

QString E2eServer::control(const QString &command)
{
    QLocalSocket socket;
    socket.connectToServer(m_dir.filePath(u"ctl"_s));
    if (!socket.waitForConnected(5000))
        return u"(no control socket)"_s;
    socket.write((command + u'\n').toUtf8());
    socket.flush();
    QByteArray answer;
    QElapsedTimer timer;
    timer.start();
    while (!answer.contains('\n') && timer.elapsed() < 5000) {
        socket.waitForReadyRead(100);
        answer += socket.readAll();
    }
    return QString::fromUtf8(answer).trimmed();
}

const QString &E2eServer::log()
{
    m_log += QString::fromUtf8(m_process.readAllStandardError());
    return m_log;
}

bool E2eServer::waitForLog(const QString &pattern, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (log().contains(pattern))
            return true;
        m_process.waitForReadyRead(20);
    }
    return log().contains(pattern);
}

qsizetype E2eServer::count(const QString &text)
{
    return log().count(text);
}

E2eClient::E2eClient()
{
    QDir(m_dir.path()).mkpath(u"registry"_s);
    QDir(m_dir.path()).mkpath(u"program"_s);
    QDir(m_dir.path()).mkpath(u"runtime"_s);
    QDir(m_dir.path()).mkpath(u"data"_s);
    QFile::setPermissions(m_dir.filePath(u"runtime"_s),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The client looks for its hook library in its working folder.
    QFile::link(binDir() + u"/libKV_HookKeyboard.so"_s, workingDir() + u"/libKV_HookKeyboard.so"_s);
}

E2eClient::~E2eClient()
{
    stop(m_process);
}

void E2eClient::setSetting(const QString &section, const QString &key, const QString &value)
{
    // The settings key of a program folder: the folder with blanks and slashes made "_".
    QString folderKey = QDir(workingDir()).canonicalPath();
    folderKey.replace(u' ', u'_').replace(u'/', u'_').replace(u'\\', u'_').remove(u':');
    QSettings hive(registryDir() + u"/HKEY_CURRENT_USER.ini"_s, QSettings::IniFormat);
    // INI groups split at "/" only: the registry path's backslashes become slashes.
    hive.setValue(u"SOFTWARE/Kestrova/"_s + folderKey + u'/' + section + u'/' + key, value);
    hive.sync();
}

bool E2eClient::start(const E2eDisplay &display, const E2eServer &server, const QString &executable,
                      const QStringList &extraArguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, display.name());
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    env.insert(u"ZELK_REGISTRY_DIR"_s, registryDir());
    env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.filePath(u"runtime"_s));
    env.insert(u"XDG_DATA_HOME"_s, m_dir.filePath(u"data"_s));
    env.insert(u"ZELK_RENDERER"_s, u"software"_s);
    for (auto it = m_extraEnv.cbegin(); it != m_extraEnv.cend(); ++it)
        env.insert(it.key(), it.value());
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setWorkingDirectory(workingDir());
    m_process.start(executable.isEmpty() ? binDir() + u"/ZELK_WCallClient"_s : executable,
                    QStringList{u"SERVERNAME=127.0.0.1"_s, u"SERVERPORT="_s + QString::number(server.port())}
                        + extraArguments);
    return m_process.waitForStarted();
}

int E2eClient::terminate(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitCode();
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString E2eClient::output()
{
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return m_output;
}

} // namespace zelk::test
