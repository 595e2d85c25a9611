// A stand-in for the calling window, used by tst_keyhook_library under Xvfb. It owns a
// hidden top-level widget and answers line commands on standard input:
//   hook, unhook, front, show, quit
// and reports on standard output:
//   ready <window id>            at start
//   hook 1|0, unhook, front 1|0  after each command
//   focus <0|1>                  when the widget's window gains or loses Qt's focus
//   key <press|release> <F12|F10|Alt|other> <modifiers|-> posted   for the hook's pedal events
//   real <press|release> <F12|F10|Alt|other> <modifiers|->          for key events of the window
#include "keyhook/KV_HookKeyboard.h"
#include "keyhook/PedalKeyEvent.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QStringList>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void report(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QString keyName(int key)
{
    switch (key) {
    case Qt::Key_F12:
        return u"F12"_s;
    case Qt::Key_F10:
        return u"F10"_s;
    case Qt::Key_Alt:
        return u"Alt"_s;
    default:
        return u"other"_s;
    }
}

QString modifierNames(Qt::KeyboardModifiers modifiers)
{
    QStringList names;
    if (modifiers.testFlag(Qt::ShiftModifier))
        names << u"Shift"_s;
    if (modifiers.testFlag(Qt::ControlModifier))
        names << u"Control"_s;
    if (modifiers.testFlag(Qt::AltModifier))
        names << u"Alt"_s;
    return names.isEmpty() ? u"-"_s : names.join(u'+');
}

class ProbeWindow : public QWidget
{
protected:
    bool event(QEvent *event) override
    {
        if (event->type() != zelk::PedalKeyEvent::kType)
            return QWidget::event(event);
        const auto *pedal = static_cast<const zelk::PedalKeyEvent *>(event);
        const QStringList words{u"key"_s, pedal->isPress() ? u"press"_s : u"release"_s, keyName(pedal->key()),
                                modifierNames(pedal->modifiers()), u"posted"_s};
        report(words.join(u' '));
        return true;
    }
    void keyPressEvent(QKeyEvent *event) override { record(u"press"_s, event); }
    void keyReleaseEvent(QKeyEvent *event) override { record(u"release"_s, event); }

private:
    static void record(const QString &what, QKeyEvent *event)
    {
        report(u"real "_s + what + u' ' + keyName(event->key()) + u' ' + modifierNames(event->modifiers()));
        event->accept();
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ProbeWindow window;
    window.resize(200, 100);
    const auto id = static_cast<KVWindowHandle>(window.winId());

    QObject::connect(&app, &QGuiApplication::focusWindowChanged, &window, [&window](QWindow *focus) {
        report(u"focus "_s + (focus && focus == window.windowHandle() ? u"1"_s : u"0"_s));
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &window, [&]() {
        char buffer[256];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            UnHookKeyboard();
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, count);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (command == "hook") {
                report(HookKeyboard(id) ? u"hook 1"_s : u"hook 0"_s);
            } else if (command == "unhook") {
                UnHookKeyboard();
                report(u"unhook"_s);
            } else if (command == "front") {
                report(KVSetForeGroundWindow(id) ? u"front 1"_s : u"front 0"_s);
            } else if (command == "show") {
                window.show();
                window.activateWindow();
                report(u"show"_s);
            } else if (command == "quit") {
                UnHookKeyboard();
                QCoreApplication::quit();
            }
        }
    });

    report(u"ready "_s + QString::number(id));
    return app.exec();
}
