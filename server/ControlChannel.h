#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QSocketNotifier;

namespace zelk::server {

class ZelkServer;

// Line commands for demos and tests; each line gets one answer line ("ok ..." or
// "error: ..."), several lines for "status" and "help".
class ControlChannel final : public QObject
{
    Q_OBJECT

public:
    explicit ControlChannel(ZelkServer *server, QObject *parent = nullptr);

    QString execute(const QString &line);
    static QString helpText();

    // Reads commands from standard input; answers go to standard output.
    void readStandardInput();
    // Accepts commands on a local socket (a path, or a name in the runtime folder).
    bool listenLocal(const QString &name, QString *error);

Q_SIGNALS:
    void quitRequested();

private:
    void onStdinReadable();

    ZelkServer *m_server;
    QSocketNotifier *m_stdin = nullptr;
    QByteArray m_stdinBuffer;
    QLocalServer *m_local = nullptr;
};

// "\n", "\r", "\t", "\\" and "\xHH" in a control line become the characters they name.
QString unescapeControlText(const QString &text);

} // namespace zelk::server
