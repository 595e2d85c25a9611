// zelk-server: a small signalling and update server for demonstrations, tests and
// development of the calling client. Not the production server.

#include "server/ControlChannel.h"
#include "server/ServerSetup.h"
#include "server/ZelkServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace zelk::server;

namespace {

void fail(const QString &text)
{
    std::fputs((u"zelk-server: "_s + text + u'\n').toLocal8Bit().constData(), stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"zelk-server"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Reference signalling and update server of the ZELK calling client, for demonstrations,\n"
        "tests and development. It keeps resources, clients, their lists, the calls in progress and\n"
        "the settings texts, answers every message of the text protocol (Windows-1252) and pushes\n"
        "RETCALLLIST to every calling client whose list holds a resource whose call changed.\n"
        "Without --data it starts with a demo set of ten resources; any unknown client that asks\n"
        "for its call list is registered with the demo list (turn off with --no-auto-assign).\n"
        "Each message received and sent is logged on standard error.\n\n"_s
        + ControlChannel::helpText());
    parser.addHelpOption();
    const QCommandLineOption listen(u"listen"_s, u"Address to listen on (default 127.0.0.1)."_s,
                                    u"address"_s, u"127.0.0.1"_s);
    const QCommandLineOption port(u"port"_s, u"TCP port (default 4400; 0 picks a free one)."_s,
                                  u"n"_s, u"4400"_s);
    const QCommandLineOption data(u"data"_s, u"Seed the state from this JSON file."_s, u"file"_s);
    const QCommandLineOption state(u"state"_s,
                                   u"Keep the state in this JSON file across restarts (written "
                                   "atomically after every change; read at start when it exists)."_s,
                                   u"file"_s);
    const QCommandLineOption version(u"server-version"_s,
                                     u"Version reported in RETSERVERVERSION (default 1.10.5)."_s,
                                     u"text"_s);
    const QCommandLineOption updateDir(u"update-dir"_s,
                                       u"Serve the files of this folder for GETNEWCLIENT."_s, u"dir"_s);
    const QCommandLineOption updateVersion(
        u"update-version"_s,
        u"Publish this version (e.g. 1.10.5) for every file of --update-dir in the shared setting "
        "section CHECKVERSION, so that clients fetch it."_s,
        u"version"_s);
    const QCommandLineOption updatePort(u"update-port"_s,
                                        u"Also serve on a second port, published as the shared "
                                        "setting ServerSettings/UpdateServerPort."_s,
                                        u"n"_s);
    const QCommandLineOption pause(u"update-pause"_s,
                                   u"Milliseconds between the parts of a RETNEWCLIENT reply (default 200)."_s,
                                   u"ms"_s, u"200"_s);
    const QCommandLineOption noAuto(u"no-auto-assign"_s,
                                    u"Answer \"ERROR: 001\" to clients that are not registered."_s);
    const QCommandLineOption control(u"control"_s,
                                     u"Also accept control commands on this local socket "
                                     "(a path, or a name in the runtime folder)."_s,
                                     u"name"_s);
    const QCommandLineOption noStdin(u"no-stdin"_s,
                                     u"Do not read control commands from standard input (use when "
                                     "running in the background of a terminal)."_s);
    const QCommandLineOption quiet(u"quiet"_s, u"Do not log messages."_s);
    const QCommandLineOption inputLimit(u"input-limit"_s,
                                        u"Bytes a connection may send without finishing a message "
                                        "before it is closed (default 65536)."_s,
                                        u"bytes"_s, u"65536"_s);
    const QCommandLineOption idleLimit(u"idle-limit"_s,
                                       u"Milliseconds a connection may hold an unfinished message, or "
                                       "stay without naming its client, before it is closed (default 60000)."_s,
                                       u"ms"_s, u"60000"_s);
    parser.addOptions({listen, port, data, state, version, updateDir, updateVersion, updatePort, pause,
                       noAuto, control, noStdin, quiet, inputLimit, idleLimit});
    parser.process(app);

    QHostAddress address;
    if (!address.setAddress(parser.value(listen))) {
        fail(u"not an address: "_s + parser.value(listen));
        return 2;
    }
    bool ok = false;
    const uint portNumber = parser.value(port).toUInt(&ok);
    if (!ok || portNumber > 65535) {
        fail(u"not a port: "_s + parser.value(port));
        return 2;
    }
    const int pauseMs = parser.value(pause).toInt(&ok);
    if (!ok || pauseMs < 0) {
        fail(u"not a pause: "_s + parser.value(pause));
        return 2;
    }

    const qlonglong inputBytes = parser.value(inputLimit).toLongLong(&ok);
    if (!ok || inputBytes < 1024) {
        fail(u"not an input limit (at least 1024 bytes): "_s + parser.value(inputLimit));
        return 2;
    }
    const int idleMs = parser.value(idleLimit).toInt(&ok);
    if (!ok || idleMs < 1) {
        fail(u"not an idle limit: "_s + parser.value(idleLimit));
        return 2;
    }

    QString error;
    std::optional<ServerState> initial = loadInitialState(parser.value(data), parser.value(state), &error);
    if (!initial) {
        fail(error);
        return 2;
    }
    if (parser.isSet(version))
        initial->version = parser.value(version);
    if (parser.isSet(noAuto))
        initial->autoAssign = false;
    if (parser.isSet(updateDir)) {
        if (!QDir(parser.value(updateDir)).exists()) {
            fail(u"no such folder: "_s + parser.value(updateDir));
            return 2;
        }
        if (parser.isSet(updateVersion)) {
            if (versionNumber(parser.value(updateVersion)).isEmpty()) {
                fail(u"not a version: "_s + parser.value(updateVersion));
                return 2;
            }
            publishUpdateVersion(*initial, parser.value(updateDir), parser.value(updateVersion));
        }
    }

    ZelkServer server(std::move(*initial));
    server.setLogging(!parser.isSet(quiet));
    server.setNewClientPause(pauseMs);
    server.setInputLimit(inputBytes);
    server.setIdleLimit(idleMs);
    server.core().setUpdateDir(parser.value(updateDir));
    if (parser.isSet(state)) {
        server.setStateFile(parser.value(state));
        if (!server.saveState(&error)) {
            fail(u"cannot write the state file: "_s + error);
            return 2;
        }
    }
    if (!server.listen(address, quint16(portNumber), &error)) {
        fail(u"cannot listen on %1:%2: %3"_s.arg(address.toString()).arg(portNumber).arg(error));
        return 1;
    }
    if (parser.isSet(updatePort)) {
        const uint n = parser.value(updatePort).toUInt(&ok);
        if (!ok || n > 65535 || !server.listenUpdate(address, quint16(n), &error)) {
            fail(u"cannot listen for updates on port %1: %2"_s.arg(parser.value(updatePort), error));
            return 1;
        }
        server.core().state().setSetting(QString(), u"ServerSettings"_s, u"UpdateServerPort"_s,
                                         QString::number(server.updatePort()));
    }

    ControlChannel channel(&server);
    QObject::connect(&channel, &ControlChannel::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    if (!parser.isSet(noStdin))
        channel.readStandardInput();
    if (parser.isSet(control) && !channel.listenLocal(parser.value(control), &error)) {
        fail(u"cannot open the control socket: "_s + error);
        return 1;
    }

    // The first line on standard output names the port, so scripts and tests can use port 0.
    std::printf("zelk-server listening on %s:%u\n", qPrintable(address.toString()), server.port());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
