#pragma once

#include <QPoint>
#include <QString>

#include <functional>

class QWidget;

namespace zelk {

inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// How the program talks to the user. The widget implementation shows Swedish message boxes
// and the shared hint window; tests install a recording double. Logic libraries call the
// free functions below and never link widgets themselves.
class UserPrompts
{
public:
    virtual ~UserPrompts() = default;
    virtual void showError(const QString &text) = 0;
    virtual int askYesNo(const QString &text) = 0;
    virtual void showFormBalloon(const QString &text, QWidget *window) = 0;
    virtual void showPointBalloon(const QString &text, QPoint screenPoint) = 0;

    // The same box, but the call returns at once: the box waits for the user while the
    // program goes on. For messages raised deep inside a wait (a connect handler, an update
    // check), where a box that waits would hold up everything below it.
    virtual void showErrorNoWait(const QString &text) { showError(text); }
    // The question without waiting; `answered` gets kAnswerYes or kAnswerNo once chosen.
    virtual void askYesNoNoWait(const QString &text, std::function<void(int)> answered)
    {
        const int answer = askYesNo(text);
        if (answered)
            answered(answer);
    }
};

// Installs the implementation (not owned); nullptr restores the fallback, which writes to
// standard error and answers every question with "Nej".
void setUserPrompts(UserPrompts *prompts);
UserPrompts *userPrompts();

void ShowError(const QString &text);
int AskYesNo(const QString &text);
void ShowErrorNoWait(const QString &text);
void AskYesNoNoWait(const QString &text, std::function<void(int)> answered);
void ShowFormBalloon(const QString &text, QWidget *window);
void ShowPointBalloon(const QString &text, QPoint screenPoint);

} // namespace zelk
