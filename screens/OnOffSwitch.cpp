#include "screens/OnOffSwitch.h"

#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>

OnOffSwitch::OnOffSwitch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(sizeHint());
    setAccessibleName(QStringLiteral("switch"));
}

void OnOffSwitch::setOn(bool on, bool /*animated*/)
{
    const QSignalBlocker quiet(this);
    setChecked(on);
}

void OnOffSwitch::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    p.setPen(QPen(hasFocus() ? QColor(40, 120, 230) : QColor(150, 150, 150), hasFocus() ? 2 : 1));
    p.setBrush(isOn() ? QColor(40, 110, 220) : QColor(235, 235, 235));
    p.drawRoundedRect(track, radius, radius);

    QFont f = font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    const qreal knob = track.height() - 2;
    QRectF knobRect(track.left() + 1, track.top() + 1, knob, knob);
    QRectF textRect = track;
    if (isOn()) {
        knobRect.moveRight(track.right() - 1);
        textRect.setRight(knobRect.left());
        p.setPen(Qt::white);
        p.drawText(textRect, Qt::AlignCenter, QStringLiteral("ON"));
    } else {
        textRect.setLeft(knobRect.right());
        p.setPen(QColor(90, 90, 90));
        p.drawText(textRect, Qt::AlignCenter, QStringLiteral("OFF"));
    }
    p.setPen(QColor(160, 160, 160));
    p.setBrush(Qt::white);
    p.drawEllipse(knobRect);
}
