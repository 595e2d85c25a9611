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
