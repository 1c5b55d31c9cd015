#pragma once
// A sheet that slides over the lower part of the window with a bold white title, a
// "Done" button at its top right and one content widget (the equalizer's preset picker).
// "Done" emits done() and closes the sheet; Escape emits cancelled() and closes it.

#include <QWidget>

class QLabel;
class QPushButton;

class ActionSheet : public QWidget {
    Q_OBJECT

public:
    // Its size on a 320-wide window; a wider window's sheet spans its width.
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 470;

    ActionSheet(const QString& title, QWidget* content, QWidget* parent = nullptr);

    // Shows the sheet at the bottom of `host`'s window and gives the content the focus.
    void showInView(QWidget* host);
    void dismiss();

    QPushButton* doneButton() const { return mDone; }
    QLabel* titleLabel() const { return mTitle; }

signals:
    void done();
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The content under the title row and "Done" at the top right, across the full width.
    void layoutParts();

    QLabel* mTitle = nullptr;
    QPushButton* mDone = nullptr;
    QWidget* mContent = nullptr;
};
