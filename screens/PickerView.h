#pragma once
// A one-column picker: a short list of titles with one row selected. A tap, a click or
// the Up/Down keys select a row and report it with didSelectRow; selectRow() shows a row
// without reporting it, and row -1 shows no selection.

#include <QListWidget>
#include <QStringList>

class PickerView : public QListWidget {
    Q_OBJECT

public:
    explicit PickerView(QWidget* parent = nullptr);

    void setTitles(const QStringList& titles);
    void selectRow(int row, bool animated);
    int selectedRow() const { return currentRow(); }

signals:
    void didSelectRow(int row);
};
