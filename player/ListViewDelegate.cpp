#include "player/ListViewDelegate.h"

#include "player/ListViewModel.h"
#include "player/PlayerImages.h"

#include <QApplication>
#include <QPainter>
#include <QPixmapCache>

namespace {

QFont pixelFont(const QFont& base, int pixelSize, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// The accessory image at the device's pixel ratio, drawn once per name and ratio.
QPixmap accessoryPixmap(const QString& name, qreal ratio)
{
    const QString key = QStringLiteral("list-accessory:%1:%2").arg(name).arg(ratio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        const int side = qRound(kListAccessorySize * ratio);
        pixmap = playerImageNamed(name, side, side);
        pixmap.setDevicePixelRatio(ratio);
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

} // namespace

QSize ListViewDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool header = index.data(ListViewModel::HeaderRole).toBool();
    return QSize(option.rect.width() > 0 ? option.rect.width() : 320, header ? kListHeaderHeight : kListRowHeight);
}

void ListViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    const QRect r = option.rect;
    if (index.data(ListViewModel::HeaderRole).toBool()) {
        QLinearGradient shade(r.topLeft(), r.bottomLeft());
        shade.setColorAt(0, QColor(0x90, 0x9c, 0xaa));
        shade.setColorAt(1, QColor(0xb8, 0xc1, 0xcb));
        painter->fillRect(r, shade);
        painter->setPen(Qt::white);
        painter->setFont(pixelFont(option.font, 17, true));
        painter->drawText(r.adjusted(12, 0, -30, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
        painter->restore();
        return;
    }

    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(r, selected ? QColor(0x05, 0x8c, 0xf5) : QColor(Qt::white));
    painter->setPen(QColor(0xe0, 0xe0, 0xe0));
    painter->drawLine(r.bottomLeft(), r.bottomRight());

    int left = r.left() + 10;
    if (mEditing) {
        // The delete mark of the editing mode.
        const QRect mark(left, r.center().y() - 10, 20, 20);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(QColor(0xe0, 0x20, 0x20));
        painter->setPen(Qt::NoPen);
        painter->drawEllipse(mark);
        painter->setPen(QPen(Qt::white, 2));
        painter->drawLine(mark.left() + 5, mark.center().y(), mark.right() - 5, mark.center().y());
        left += 30;
    }
    int right = r.right() - 30;  // room for the side index
    const QString accessory = index.data(ListViewModel::AccessoryImageRole).toString();
    if (!accessory.isEmpty()) {
        const QRect box(right - kListAccessorySize, r.center().y() - kListAccessorySize / 2, kListAccessorySize,
                        kListAccessorySize);
        painter->drawPixmap(box, accessoryPixmap(accessory, painter->device()->devicePixelRatioF()));
        right = box.left() - 4;
    }

    const QColor textColor = selected ? QColor(Qt::white) : QColor(Qt::black);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QString detail = index.data(ListViewModel::DetailTextRole).toString();
    const QRect textArea(left, r.top(), std::max(0, right - left), r.height());
    if (index.data(ListViewModel::SubtitleStyleRole).toBool()) {
        const QFont titleFont = pixelFont(option.font, 18, true);
        const QFont detailFont = pixelFont(option.font, 14, false);
        painter->setFont(titleFont);
        painter->setPen(textColor);
        const QRect top = textArea.adjusted(0, 2, 0, -r.height() / 2 + 2);
        painter->drawText(top, Qt::AlignLeft | Qt::AlignBottom,
                          QFontMetrics(titleFont).elidedText(text, Qt::ElideRight, top.width()));
        painter->setFont(detailFont);
        painter->setPen(selected ? QColor(Qt::white) : QColor(0x80, 0x80, 0x80));
        const QRect bottom = textArea.adjusted(0, r.height() / 2 + 2, 0, -2);
        painter->drawText(bottom, Qt::AlignLeft | Qt::AlignTop,
                          QFontMetrics(detailFont).elidedText(detail, Qt::ElideRight, bottom.width()));
    } else {
        const QFont titleFont = pixelFont(option.font, 20, true);
        painter->setFont(titleFont);
        painter->setPen(textColor);
        painter->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(titleFont).elidedText(text, Qt::ElideRight, textArea.width()));
    }
    painter->restore();
}
