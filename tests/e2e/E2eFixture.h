#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace zelk::test {

// The pieces of an end-to-end test of the real client: a private Xvfb display, the demo
// server with its log and control socket, the client process with its own settings, working
// folder and runtime folder, and the pedal through xdotool.
class E2eDisplay
{
public:
    ~E2eDisplay();
    // False with the reason when Xvfb or xdotool is missing or does not start.
    bool start(QString *reason);
    const QString &name() const { return m_display; }

    // Runs xdotool on the display; its standard output, trimmed.
    QString xdotool(const QStringList &arguments, int *exitCode = nullptr) const;
    // Holds the pedal (Alt+F12) down or lets it go.
    void pedalDown() const;
    void pedalUp() const;
    // Whether a mapped window whose title matches the pattern exists.
    bool windowVisible(const QString &titlePattern) const;

private:
    QProcess m_xvfb;
    QString m_display;
};

class E2eServer
{
public:
    ~E2eServer();
    bool start(const QStringList &extraArguments = {});
    quint16 port() const { return m_port; }
    // Sends one control command and returns the server's answer.
    QString control(const QString &command);

    // Everything the server logged since the last clearLog().
    const QString &log();
    void clearLog() { log(); m_log.clear(); }
    // Waits until the log holds the pattern (a plain text); false when the time ran out.
    bool waitForLog(const QString &pattern, int timeoutMs);
    // How often the text occurs in the log.
    qsizetype count(const QString &text);

private:
    QProcess m_process;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QString m_log;
};

class E2eClient
{
public:
    E2eClient();
    ~E2eClient();

    // The client's private folders; settings can be written before start().
    QString registryDir() const { return m_dir.filePath(QStringLiteral("registry")); }
    QString workingDir() const { return m_dir.filePath(QStringLiteral("program")); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // A value in the user hive as the client will read it (section, key, value).
    void setSetting(const QString &section, const QString &key, const QString &value);
    void setEnvironment(const QString &name, const QString &value) { m_extraEnv.insert(name, value); }

    // Starts `executable` (the real client by default) against the server on the display.
    bool start(const E2eDisplay &display, const E2eServer &server, const QString &executable = QString(),
               const QStringList &extraArguments = {});
    QProcess &process() { return m_process; }
    // SIGTERM, as at the end of the session; the exit code, or -1 when it did not end in time.
    int terminate(int timeoutMs);
    QString output();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QHash<QString, QString> m_extraEnv;
    QString m_output;
};

// The build's program folder (ZELK_BIN_DIR).
QString binDir();

} // namespace zelk::test
