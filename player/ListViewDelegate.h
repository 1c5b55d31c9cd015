#pragma once
// How a row of the list view looks on the 320-point-wide phone layout: 44-point rows with
// the title in bold and, in the subtitle style, the detail below it in grey; 22-point
// section headers; the now-playing mark at the right of the row. Sizes are in device-
// independent pixels, so a high-density screen draws the same layout with more pixels.

#include <QStyledItemDelegate>

inline constexpr int kListRowHeight = 44;
inline constexpr int kListHeaderHeight = 22;
inline constexpr int kListAccessorySize = 28;

class ListViewDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditing(bool editing) { mEditing = editing; }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool mEditing = false;
};
