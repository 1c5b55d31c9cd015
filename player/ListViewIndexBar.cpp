#include "player/ListViewIndexBar.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kMaxSlotHeight = 16;  // titles sit at most this far apart; the rest is margin
}

ListViewIndexBar::ListViewIndexBar(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_AcceptTouchEvents);  // unhandled touches arrive as mouse events
    setFocusPolicy(Qt::NoFocus);
}

void ListViewIndexBar::setTitles(const QStringList& titles)
{
    mTitles = titles;
    mLastIndex = -1;
    setHidden(titles.isEmpty());
    update();
}

double ListViewIndexBar::slotHeight() const
{
    return mTitles.isEmpty() ? 0.0 : std::min<double>(kMaxSlotHeight, double(height()) / double(mTitles.size()));
}

int ListViewIndexBar::indexAt(int y) const
{
    if (mTitles.isEmpty())
        return -1;
    const double slot = slotHeight();
    const double top = (height() - slot * double(mTitles.size())) / 2.0;
    const int index = int((double(y) - top) / slot);
    return std::clamp(index, 0, int(mTitles.size()) - 1);
}

QPoint ListViewIndexBar::centreOf(int index) const
{
    const double slot = slotHeight();
    const double top = (height() - slot * double(mTitles.size())) / 2.0;
    return QPoint(width() / 2, int(top + slot * (index + 0.5)));
}

void ListViewIndexBar::touchAt(int y)
{
    const int index = indexAt(y);
    if (index < 0 || index == mLastIndex)
        return;
    mLastIndex = index;
    emit titleTouched(mTitles[index], index);
}

void ListViewIndexBar::mousePressEvent(QMouseEvent* event)
{
    mPressed = true;
    mLastIndex = -1;
    update();
    touchAt(int(event->position().y()));
}

void ListViewIndexBar::mouseMoveEvent(QMouseEvent* event)
{
    if (mPressed)
        touchAt(int(event->position().y()));
}

void ListViewIndexBar::mouseReleaseEvent(QMouseEvent*)
{
    mPressed = false;
    update();
}

void ListViewIndexBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (mPressed)
        painter.fillRect(rect(), QColor(0, 0, 0, 40));
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x5a, 0x64, 0x70));
    const double slot = slotHeight();
    for (int i = 0; i < mTitles.size(); ++i) {
        const QPoint c = centreOf(i);
        painter.drawText(QRectF(0, c.y() - slot / 2, width(), slot), Qt::AlignCenter, mTitles[i]);
    }
}
