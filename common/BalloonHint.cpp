#include "common/BalloonHint.h"

#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

constexpr int kImageSize = 32;

void drawSign(QPainter &p, const QColor &disc, Qt::GlobalColor mark, BalloonHint::Image image)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QRadialGradient shade(QPointF(12, 10), 22);
    shade.setColorAt(0, disc.lighter(160));
    shade.setColorAt(1, disc);
    p.setBrush(shade);
    p.drawEllipse(QRectF(1, 1, 30, 30));
    QPen pen(mark);
    pen.setCapStyle(Qt::RoundCap);
    switch (image) {
    case BalloonHint::Image::Information:
        p.setBrush(mark);
        p.drawEllipse(QRectF(14, 6, 4, 4));
        p.drawRoundedRect(QRectF(14, 12, 4, 14), 1, 1);
        break;
    case BalloonHint::Image::Question: {
        pen.setWidthF(3.5);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        QPainterPath hook;
        hook.moveTo(11, 12);
        hook.cubicTo(11, 5, 21, 5, 21, 11);
        hook.cubicTo(21, 15, 16, 15, 16, 20);
        p.drawPath(hook);
        p.setPen(Qt::NoPen);
        p.setBrush(mark);
        p.drawEllipse(QRectF(14, 23, 4, 4));
        break;
    }
    case BalloonHint::Image::Error:
        pen.setWidthF(4);
        p.setPen(pen);
        p.drawLine(QPointF(10, 10), QPointF(22, 22));
        p.drawLine(QPointF(22, 10), QPointF(10, 22));
        break;
    }
}

} // namespace

BalloonHint::BalloonHint(QWidget *parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_imageLabel(new QLabel(this))
    , m_titleLabel(new QLabel(this))
    , m_textLabel(new QLabel(this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(u"BalloonHint"_s);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
    setPalette(pal);

    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    m_textLabel->setTextFormat(Qt::PlainText);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_imageLabel, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(m_titleLabel, 0, 1);
    layout->addWidget(m_textLabel, 1, 1);

    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(5000);
    connect(&m_hideTimer, &QTimer::timeout, this, &QWidget::hide);
}

BalloonHint::Image BalloonHint::imageForKind(int kind)
{
    switch (kind) {
    case 1:
        return Image::Error;
    case 3:
        return Image::Question;
    default:
        return Image::Information;
    }
}

QPixmap BalloonHint::imagePixmap(Image image)
{
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    switch (image) {
    case Image::Information:
        drawSign(p, QColor(0x1F, 0x5F, 0xC8), Qt::white, image);
        break;
    case Image::Question:
        drawSign(p, QColor(0x2A, 0x6F, 0xD8), Qt::white, image);
        break;
    case Image::Error:
        drawSign(p, QColor(0xC8, 0x1E, 0x1E), Qt::white, image);
        break;
    }
    return pixmap;
}

void BalloonHint::prepare(const QString &title, const QString &text, int kind, int hideAfterMs)
{
    m_title = title;
    m_text = text;
    m_image = imageForKind(kind);
    m_imageLabel->setPixmap(imagePixmap(m_image));
    m_titleLabel->setText(title);
    m_textLabel->setText(text);
    m_hideTimer.setInterval(hideAfterMs);
    adjustSize();
}

void BalloonHint::showAtPoint(QPoint screenPoint)
{
    move(screenPoint);
    show();
    raise();
    m_hideTimer.start(); // restarts the time of a hint already on screen
}

void BalloonHint::showAtWindow(QWidget *window)
{
    if (!window) {
        showAtPoint(QCursor::pos());
        return;
    }
    const QRect frame = window->frameGeometry();
    showAtPoint(QPoint(frame.center().x() - width() / 2, window->geometry().top() + 8));
}

} // namespace zelk
