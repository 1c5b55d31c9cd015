#pragma once
// A grouped table for the settings screens: sections of rows under headers of a given
// height, in a scroll area sized for the phone's 320-point width.
//
// A row shows a label, an optional detail text, an optional accessory widget (a switch,
// a slider) and an optional disclosure mark, or a centred text, or a grey note of
// several lines. A selectable row takes the focus with Tab and is chosen by a click, a
// tap, Return or Space: it lights up, reports selected() and is then deselected.

#include <QFrame>
#include <QScrollArea>

class QLabel;
class QVBoxLayout;

class TableRow : public QFrame {
    Q_OBJECT

public:
    explicit TableRow(int height, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    QLabel* textLabel() const { return mLabel; }
    void setDetailText(const QString& text);
    QString detailText() const;
    void setCentered(bool centered);
    // Grey, centred, word-wrapped text in a `pixelSize` system font.
    void setNote(const QString& text, int pixelSize);
    void setAccessoryView(QWidget* view);
    QWidget* accessoryView() const { return mAccessory; }
    void setDisclosureIndicator(bool shown);
    bool hasDisclosureIndicator() const;
    void setSelectable(bool selectable);
    bool isSelectable() const { return mSelectable; }
    // An empty, clear row that cannot be chosen.
    void setBlank();
    bool isHighlighted() const { return mHighlighted; }

signals:
    void selected();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class TableRowAccessible;
    void choose();
    void setHighlighted(bool on);
    void refreshLook();

    QLabel* mLabel = nullptr;
    QLabel* mDetail = nullptr;
    QLabel* mDisclosure = nullptr;
    QWidget* mAccessory = nullptr;
    bool mSelectable = false;
    bool mHighlighted = false;
    bool mBlank = false;
};

class SettingTable : public QScrollArea {
    Q_OBJECT

public:
    explicit SettingTable(QWidget* parent = nullptr);

    // Starts a section under a header of `height` points (`header` shown in it, if any).
    void addSection(int headerHeight, QWidget* header = nullptr);
    TableRow* addRow(int height);
    // A footer of `height` points below the rows of the current section.
    void addFooter(int height, QWidget* footer = nullptr);

    // Rows in display order, sections one after another.
    const QList<TableRow*>& rows() const { return mRows; }
    // The rows of one section.
    QList<TableRow*> rowsOfSection(int section) const;
    int numberOfSections() const { return mSectionStarts.size(); }
    // The widgets that may take the focus, in display order: each row (a row that cannot
    // be chosen does not take it), and each accessory that takes the focus.
    QList<QWidget*> focusChain() const;

private:
    QWidget* mBody = nullptr;
    QVBoxLayout* mLayout = nullptr;
    QList<TableRow*> mRows;
    QList<int> mSectionStarts;  // index in mRows of each section's first row
};
