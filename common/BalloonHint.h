#pragma once

#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace zelk {

// The program's one hint window: an image, a bold title and a text, shown at a window or a
// screen point and hidden after a while. Showing it again replaces what it showed.
class BalloonHint final : public QWidget
{
    Q_OBJECT

public:
    enum class Image { Information = 0, Question = 1, Error = 2 };

    explicit BalloonHint(QWidget *parent = nullptr);

    // Kind 1 shows the error sign, 2 the information sign, 3 the question sign, others information.
    static Image imageForKind(int kind);
    static QPixmap imagePixmap(Image image);

    void prepare(const QString &title, const QString &text, int kind, int hideAfterMs);
    void showAtPoint(QPoint screenPoint);
    // Below the window's title area, centred, or at the cursor when there is no window.
    void showAtWindow(QWidget *window);

    QString title() const { return m_title; }
    QString text() const { return m_text; }
    Image image() const { return m_image; }
    int hideAfterMs() const { return m_hideTimer.interval(); }

private:
    QLabel *m_imageLabel = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_textLabel = nullptr;
    QTimer m_hideTimer;
    QString m_title;
    QString m_text;
    Image m_image = Image::Information;
};

} // namespace zelk
