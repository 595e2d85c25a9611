#pragma once

#include "common/Prompts.h"
#include "protocol/Messages.h"
#include "protocol/Parsers.h"
#include "session/AdminDialogPort.h"

#include <QStringList>

#include <functional>

namespace zelk::test {

// Records every message box instead of showing it; a hook may act while "the box is open".
class RecordingPrompts final : public UserPrompts
{
public:
    RecordingPrompts() { setUserPrompts(this); }
    ~RecordingPrompts() override { setUserPrompts(nullptr); }

    void showError(const QString &text) override;
    int askYesNo(const QString &text) override;
    void showFormBalloon(const QString &text, QWidget *) override { balloons << text; }
    void showPointBalloon(const QString &text, QPoint) override { balloons << text; }

    QStringList errors;
    QStringList questions;
    QStringList balloons;
    int answer = kAnswerNo;
    std::function<void()> whileErrorShown;
};

// The administration dialog as the session sees it.
class FakeAdminDialog final : public AdminDialogPort
{
public:
    bool isDialogVisible() const override { return visible; }
    void setPnlPlatsVisible(bool v) override { pnlPlatsVisible = v; }
    void refreshActivePage() override { calls << QStringLiteral("refreshActivePage"); }
    void refreshClientSettings() override { calls << QStringLiteral("refreshClientSettings"); }
    void openClientSettings() override { calls << QStringLiteral("openClientSettings"); }
    void openServerSettings() override { calls << QStringLiteral("openServerSettings"); }
    void applyStationCallables(const QList<qint32> &numbers) override { station = numbers; }
    bool hasCallableListTarget() const override { return target; }
    void applyAllCallables(const QList<msg::CallableEntry> &entries, bool olderServer,
                           const QList<qint32> &callListNumbers) override;

    bool visible = false;
    bool pnlPlatsVisible = true;
    bool target = false;
    QStringList calls;
    QList<qint32> station;
    QList<msg::CallableEntry> all;
    bool older = false;
    QList<qint32> moved;
};

// A call-list message with `count` records named "Namn 0", "Namn 1", ...
QString callListMessage(int count, const std::function<void(int, msg::CallListRecord &)> &adjust = {});

} // namespace zelk::test
