#include "server/ControlChannel.h"

#include "protocol/Codepage.h"
#include "server/ZelkServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace zelk::server {

namespace {

QString callState(const ServerState &state, qint32 number)
{
    const auto call = state.calls.constFind(number);
    if (call == state.calls.cend())
        return u"-"_s;
    QString text = u"called "_s + call->callTime.toString(u"HH:mm:ss"_s);
    if (call->comingNumber != 0)
        text += u", "_s + call->comingName + u" coming "_s + call->comingTime.toString(u"HH:mm:ss"_s);
    return text;
}

} // namespace

QString unescapeControlText(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar n = text.at(++i);
        if (n == u'n') {
            out += u'\n';
        } else if (n == u'r') {
            out += u'\r';
        } else if (n == u't') {
            out += u'\t';
        } else if (n == u'x' && i + 2 < text.size()) {
            bool ok = false;
            const int code = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 2;
            } else {
                out += u"\\x";
            }
        } else {
            out += n;
        }
    }
    return out;
}

ControlChannel::ControlChannel(ZelkServer *server, QObject *parent)
    : QObject(parent)
    , m_server(server)
{
}

QString ControlChannel::helpText()
{
    return u"Control commands (one a line, on standard input or the --control socket):\n"
           "  status                    resources, calls, clients and connections\n"
           "  call N [AS]               call resource N as another client would\n"
           "  cancel N                  cancel the call of resource N\n"
           "  coming N [HH:MM[:SS]] WHO WHO answers that they are coming to the call of N\n"
           "  send CLIENT|* TEXT        send TEXT as it is to that client's connections\n"
           "                            (\\n \\r \\t \\\\ \\xHH escapes; ¤ may be written \\xA4)\n"
           "  drop                      close every connection\n"
           "  version TEXT              report TEXT in RETSERVERVERSION from now on\n"
           "  quit                      stop the server\n"_s;
}

QString ControlChannel::execute(const QString &line)
{
    const QString trimmed = line.trimmed();
    const QString command = trimmed.section(u' ', 0, 0, QString::SectionSkipEmpty).toLower();
    const QString rest = trimmed.section(u' ', 1, -1, QString::SectionSkipEmpty);
    const QStringList args = rest.split(u' ', Qt::SkipEmptyParts);
    QString error;

    if (command.isEmpty())
        return {};
    if (command == u"help")
        return helpText();
    if (command == u"status") {
        const ServerState &s = m_server->core().state();
        QString out = u"version "_s + s.version + u'\n';
        for (const Resource &r : s.resources) {
            out += u"resource %1 %2 (%3)%4: %5\n"_s.arg(r.number).arg(r.shortName, r.fullName,
                                                       r.active ? QString() : u" inactive"_s,
                                                       callState(s, r.number));
        }
        for (const Client &c : s.clients) {
            QStringList list;
            for (const ClientResource &e : c.resources)
                list.append(QString::number(e.number) + (e.callable ? u""_s : u"*"_s));
            out += u"client %1 \"%2\" type %3: %4\n"_s.arg(c.name, c.place).arg(c.type).arg(list.join(u' '));
        }
        for (const ServerConnection *c : m_server->connections()) {
            out += u"connection #%1 %2 %3%4\n"_s.arg(c->id()).arg(c->peer(), c->info().clientName,
                                                       c->info().wantsPushes ? u" (calling)"_s : QString());
        }
        out += u"ok"_s;
        return out;
    }
    if (command == u"call" || command == u"cancel") {
        bool isNumber = false;
        const qint32 number = args.value(0).toInt(&isNumber);
        if (!isNumber)
            return u"error: which resource?"_s;
        if (!m_server->setCalled(number, command == u"call", &error))
            return u"error: "_s + error;
        return u"ok"_s;
    }
    if (command == u"coming") {
        bool isNumber = false;
        const qint32 number = args.value(0).toInt(&isNumber);
        if (!isNumber)
            return u"error: which resource?"_s;
        QDateTime when = m_server->core().now();
        qsizetype nameFrom = 1;
        static const QRegularExpression clock(u"^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"_s);
        const QRegularExpressionMatch m = clock.match(args.value(1));
        if (m.hasMatch()) {
            const QTime time(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
            if (!time.isValid())
                return u"error: not a clock time: "_s + args.value(1);
            when.setTime(time);
            nameFrom = 2;
        }
        const QString who = args.mid(nameFrom).join(u' ');
        if (!m_server->setComing(number, who, when, &error))
            return u"error: "_s + error;
        return u"ok"_s;
    }
    if (command == u"send") {
        const QString target = args.value(0);
        if (target.isEmpty())
            return u"error: send to whom?"_s;
        const QString text = unescapeControlText(rest.section(u' ', 1, -1, QString::SectionSkipEmpty));
        const int count = m_server->sendRaw(target, toCodePage(text));
        return u"ok %1 connection(s)"_s.arg(count);
    }
    if (command == u"drop") {
        m_server->dropAll();
        return u"ok"_s;
    }
    if (command == u"version") {
        if (rest.isEmpty())
            return u"error: which version?"_s;
        m_server->setVersion(rest);
        return u"ok"_s;
    }
    if (command == u"quit") {
        Q_EMIT quitRequested();
        return u"ok"_s;
    }
    return u"error: unknown command "_s + command + u" (try help)"_s;
}

void ControlChannel::readStandardInput()
{
    if (m_stdin)
        return;
    m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_stdin, &QSocketNotifier::activated, this, &ControlChannel::onStdinReadable);
}

void ControlChannel::onStdinReadable()
{
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
        // End of input (a closed pipe, /dev/null): the server goes on without commands.
        m_stdin->setEnabled(false);
        return;
    }
    m_stdinBuffer.append(chunk, n);
    if (m_stdinBuffer.size() > 64 * 1024 && !m_stdinBuffer.contains('\n'))
        m_stdinBuffer.clear(); // not a command line
    qsizetype eol;
    while ((eol = m_stdinBuffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_stdinBuffer.left(eol));
        m_stdinBuffer.remove(0, eol + 1);
        const QString answer = execute(line);
        if (!answer.isEmpty()) {
            std::fputs((answer + u'\n').toUtf8().constData(), stdout);
            std::fflush(stdout);
        }
    }
}

bool ControlChannel::listenLocal(const QString &name, QString *error)
{
    m_local = new QLocalServer(this);
    QLocalServer::removeServer(name);
    if (!m_local->listen(name)) {
        if (error)
            *error = m_local->errorString();
        return false;
    }
    connect(m_local, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_local->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                while (socket->canReadLine()) {
                    const QString line = QString::fromUtf8(socket->readLine());
                    const QString answer = execute(line);
                    if (!answer.isEmpty())
                        socket->write((answer + u'\n').toUtf8());
                }
            });
        }
    });
    return true;
}

} // namespace zelk::server
