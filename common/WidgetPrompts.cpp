#include "common/WidgetPrompts.h"

#include "common/SwedishDialogs.h"

#include <QApplication>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {
constexpr int kHintKindInformation = 2;
constexpr int kHintDurationMs = 5000;
} // namespace

WidgetPrompts::WidgetPrompts() = default;

WidgetPrompts::~WidgetPrompts()
{
    for (const QPointer<QMessageBox> &box : std::as_const(m_boxes))
        delete box.data();
    if (userPrompts() == this)
        setUserPrompts(nullptr);
}

void WidgetPrompts::showError(const QString &text)
{
    showSwedishMessageBox(QApplication::activeWindow(), QMessageBox::Information, text,
                          QMessageBox::Ok, QMessageBox::Ok);
}

int WidgetPrompts::askYesNo(const QString &text)
{
    const auto answer = showSwedishMessageBox(QApplication::activeWindow(), QMessageBox::Question,
                                              text, QMessageBox::Yes | QMessageBox::No,
                                              QMessageBox::Yes);
    return answer == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

QMessageBox *WidgetPrompts::openBox(QMessageBox::Icon icon, const QString &text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton)
{
    // Not modal: the calling window, the dialog and the pedal go on working while it is open.
    auto *box = new QMessageBox(icon, swedishCaption(icon), text, buttons);
    box->setDefaultButton(defaultButton);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    applySwedishButtonTexts(*box);
    m_boxes.removeAll(nullptr);
    m_boxes.append(box);
    box->show();
    return box;
}

void WidgetPrompts::showErrorNoWait(const QString &text)
{
    openBox(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void WidgetPrompts::askYesNoNoWait(const QString &text, std::function<void(int)> answered)
{
    QMessageBox *box = openBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)](int) {
        // A box closed without a choice counts as "Nej".
        const bool yes = box->clickedButton() == box->button(QMessageBox::Yes);
        if (answered)
            answered(yes ? kAnswerYes : kAnswerNo);
    });
}

QList<QMessageBox *> WidgetPrompts::openBoxes() const
{
    QList<QMessageBox *> boxes;
    for (const QPointer<QMessageBox> &box : m_boxes) {
        if (box)
            boxes.append(box.data());
    }
    return boxes;
}

BalloonHint &WidgetPrompts::PrepareBalloon(const QString &title, const QString &text, int kind,
                                           int hideAfterMs)
{
    if (!m_balloon)
        m_balloon = std::make_unique<BalloonHint>();
    m_balloon->prepare(title, text, kind, hideAfterMs);
    return *m_balloon;
}

void WidgetPrompts::showFormBalloon(const QString &text, QWidget *window)
{
    PrepareBalloon(u"Information"_s, text, kHintKindInformation, kHintDurationMs).showAtWindow(window);
}

void WidgetPrompts::showPointBalloon(const QString &text, QPoint screenPoint)
{
    PrepareBalloon(u"Information"_s, text, kHintKindInformation, kHintDurationMs)
        .showAtPoint(screenPoint);
}

} // namespace zelk
