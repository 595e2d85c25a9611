#pragma once

#include "common/BalloonHint.h"
#include "common/Prompts.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

#include <memory>

namespace zelk {

// The program's prompts on screen: Swedish message boxes and the one shared hint window,
// which it creates at the first hint and keeps until it is destroyed itself. The program
// entry makes one after the application object and installs it with setUserPrompts().
class WidgetPrompts final : public UserPrompts
{
public:
    WidgetPrompts();
    ~WidgetPrompts() override;
    WidgetPrompts(const WidgetPrompts &) = delete;
    WidgetPrompts &operator=(const WidgetPrompts &) = delete;

    // Information box, caption "Information", one "OK" button.
    void showError(const QString &text) override;
    // Question box, caption "Fråga", "Ja" (the default) and "Nej": 6 for "Ja", else 7.
    int askYesNo(const QString &text) override;
    // The same boxes without waiting: shown, and the call returns.
    void showErrorNoWait(const QString &text) override;
    void askYesNoNoWait(const QString &text, std::function<void(int)> answered) override;
    void showFormBalloon(const QString &text, QWidget *window) override;
    void showPointBalloon(const QString &text, QPoint screenPoint) override;

    // Creates the shared hint on first use and gives it title, text, kind and display time.
    BalloonHint &PrepareBalloon(const QString &title, const QString &text, int kind, int hideAfterMs);
    // The shared hint, or nullptr before the first one.
    BalloonHint *balloon() const { return m_balloon.get(); }

    // Boxes shown without waiting that are still open.
    QList<QMessageBox *> openBoxes() const;

private:
    QMessageBox *openBox(QMessageBox::Icon icon, const QString &text, QMessageBox::StandardButtons buttons,
                         QMessageBox::StandardButton defaultButton);

    std::unique_ptr<BalloonHint> m_balloon;
    QList<QPointer<QMessageBox>> m_boxes;
};

} // namespace zelk
