#include "common/Prompts.h"

#include <QTextStream>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// Without a user interface (tools, tests, before the window exists) messages go to standard
// error, and no question is taken as a yes.
class StandardErrorPrompts final : public UserPrompts
{
public:
    void showError(const QString &text) override { write(u"Information"_s, text); }
    int askYesNo(const QString &text) override
    {
        write(u"Fråga"_s, text + u" (Nej)"_s);
        return kAnswerNo;
    }
    void showFormBalloon(const QString &text, QWidget *) override { write(u"Information"_s, text); }
    void showPointBalloon(const QString &text, QPoint) override { write(u"Information"_s, text); }

private:
    static void write(const QString &caption, const QString &text)
    {
        QTextStream err(stderr);
        err << caption << u": "_s << text << Qt::endl;
    }
};

StandardErrorPrompts g_fallback;
UserPrompts *g_prompts = nullptr;

} // namespace

void setUserPrompts(UserPrompts *prompts)
{
    g_prompts = prompts;
}

UserPrompts *userPrompts()
{
    return g_prompts ? g_prompts : &g_fallback;
}

void ShowError(const QString &text)
{
    userPrompts()->showError(text);
}

int AskYesNo(const QString &text)
{
    return userPrompts()->askYesNo(text);
}

void ShowErrorNoWait(const QString &text)
{
    userPrompts()->showErrorNoWait(text);
}

void AskYesNoNoWait(const QString &text, std::function<void(int)> answered)
{
    userPrompts()->askYesNoNoWait(text, std::move(answered));
}

void ShowFormBalloon(const QString &text, QWidget *window)
{
    userPrompts()->showFormBalloon(text, window);
}

void ShowPointBalloon(const QString &text, QPoint screenPoint)
{
    userPrompts()->showPointBalloon(text, screenPoint);
}

} // namespace zelk
