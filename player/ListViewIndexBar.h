#pragma once
// The side index of a sectioned list: its titles from top to bottom in a narrow strip at
// the right edge. Pressing a title, or dragging along the strip with a finger or the
// mouse, reports each title reached (with its position in the index).

#include <QStringList>
#include <QWidget>

class ListViewIndexBar : public QWidget {
    Q_OBJECT

public:
    explicit ListViewIndexBar(QWidget* parent = nullptr);

    void setTitles(const QStringList& titles);
    const QStringList& titles() const { return mTitles; }
    // The position of the title under a point of the strip; -1 without titles.
    int indexAt(int y) const;
    // The centre of a title's place in the strip (for tests and accessibility).
    QPoint centreOf(int index) const;

signals:
    void titleTouched(const QString& title, int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void touchAt(int y);
    double slotHeight() const;

    QStringList mTitles;
    int mLastIndex = -1;
    bool mPressed = false;
};
