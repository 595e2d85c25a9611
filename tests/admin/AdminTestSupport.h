#pragma once

#include "common/Prompts.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

namespace zelk::admintest {

// Records message boxes and hints instead of showing them; installs itself while it lives.
class RecordingPrompts final : public UserPrompts
{
public:
    RecordingPrompts() { setUserPrompts(this); }
    ~RecordingPrompts() override { setUserPrompts(nullptr); }
    RecordingPrompts(const RecordingPrompts &) = delete;
    RecordingPrompts &operator=(const RecordingPrompts &) = delete;

    void showError(const QString &text) override { errors << text; }
    int askYesNo(const QString &text) override
    {
        questions << text;
        return answer;
    }
    void showFormBalloon(const QString &text, QWidget *) override { balloons << text; }
    void showPointBalloon(const QString &text, QPoint) override { balloons << text; }

    QStringList errors;
    QStringList questions;
    QStringList balloons;
    int answer = kAnswerYes;
};

// A connected loopback pair: `client` is what the dialog borrows, the far end records every
// byte that arrives.
class LoopbackPeer final : public QObject
{
    Q_OBJECT

public:
    explicit LoopbackPeer(QObject *parent = nullptr);
    bool open();

    QTcpSocket client;
    QPointer<QTcpSocket> remote;
    QByteArray received;

private:
    QTcpServer m_server;
};

// The protocol text as it travels (Windows-1252).
QByteArray wire(const QString &text);

} // namespace zelk::admintest
