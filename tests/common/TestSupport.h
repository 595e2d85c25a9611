#pragma once

#include "common/Identity.h"
#include "common/Prompts.h"

#include <QStringList>

// Session facts chosen by the test.
class FakeSessionInfo final : public zelk::RemoteSessionInfo
{
public:
    bool remote = false;
    QString computer = QStringLiteral("WS12");
    Answer remoteDesktop;
    Answer terminal;

    bool isRemoteSession() const override { return remote; }
    QString localComputerName() const override { return computer; }
    Answer remoteDesktopClientName() const override { return remoteDesktop; }
    Answer terminalClientName() const override { return terminal; }
};

// Records what would have been shown and answers questions as told.
class RecordingPrompts final : public zelk::UserPrompts
{
public:
    QStringList errors;          // every box, waiting or not
    QStringList errorsNotWaited; // the boxes shown without waiting for the user
    QStringList questions;
    QStringList balloons;
    int answer = zelk::kAnswerYes;

    void showError(const QString &text) override { errors.append(text); }
    void showErrorNoWait(const QString &text) override
    {
        errors.append(text);
        errorsNotWaited.append(text);
    }
    int askYesNo(const QString &text) override
    {
        questions.append(text);
        return answer;
    }
    void showFormBalloon(const QString &text, QWidget *) override { balloons.append(text); }
    void showPointBalloon(const QString &text, QPoint) override { balloons.append(text); }
};
