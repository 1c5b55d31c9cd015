#pragma once
// The list screen: a bar with the sync button, the table header with the picked-songs
// controls, the table of the list shown with its side index, and the five list buttons
// (title, artist, genre, album, playlist) at the bottom. It shows what its data source
// answers and reports the user's actions; the player controller decides what they do.
//
// Mouse, touch and keyboard: a click or tap chooses a row; the arrow keys move along the
// rows, Enter chooses the current one. The side index follows a press and a drag.
//
// Search: the field in the bar (a click, Ctrl+F, or typing while the table has the
// keyboard) filters as the user types; the data source answers the results while the
// field holds text. Escape or "Cancel" (in the sync button's place while searching) empties
// the field and puts the list back at the scroll position and current row it had.
//
// Threads: main thread only.

#include "player/ListViewModel.h"

#include <QListView>
#include <QWidget>

class ListViewDelegate;
class ListViewIndexBar;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// The table: a list view that chooses rows on a click or on Enter and turns typed letters
// into section jumps.
class ListTableView : public QListView {
    Q_OBJECT

public:
    using QListView::QListView;
    void keyboardSearch(const QString& search) override;

signals:
    void rowActivated(int flatRow);
    void textTyped(const QString& text);
    void escapePressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A spinning activity indicator (the large white style) for the waiting alert.
class ActivityIndicatorView : public QWidget {
    Q_OBJECT

public:
    explicit ActivityIndicatorView(QWidget* parent = nullptr);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* mTimer;
    int mStep = 0;
};

class ListView : public QWidget {
    Q_OBJECT

public:
    ListView(ListTableDataSource* dataSource, QWidget* parent = nullptr);

    // Asks the data source again and redraws (the table's reloadData).
    void reloadData();
    // Shows a section's first row at the top.
    void scrollToSection(int section);
    // The table header: TableHeaderView normally, EditDoneView while editing.
    void setTableHeaderView(QWidget* header);
    QWidget* tableHeaderView() const { return mTableHeader; }
    void setEditing(bool editing);
    bool isEditing() const { return mEditing; }

    ListTableView* tableView() const { return mTable; }
    ListViewModel* model() const { return mModel; }
    ListViewIndexBar* indexBar() const { return mIndexBar; }
    // The on-screen rectangle of a cell in the table's viewport (for tests).
    QRect visualRectOf(ListIndexPath indexPath) const;

    QPushButton* TitleButton = nullptr;
    QPushButton* ArtistButton = nullptr;
    QPushButton* GenreButton = nullptr;
    QPushButton* AlbumButton = nullptr;
    QPushButton* PlayListButton = nullptr;
    QPushButton* syncButtonItem = nullptr;  // "sync_button.png"
    QLabel* listTopImage = nullptr;         // the bar, "list_bar.png"
    QWidget* TableHeaderView = nullptr;
    QWidget* EditDoneView = nullptr;
    QPushButton* addSongButton = nullptr;  // opens the media picker
    QPushButton* editButton = nullptr;     // tag 0: editing on
    QPushButton* clearButton = nullptr;    // the "Clear PlayList" sheet
    QPushButton* doneButton = nullptr;     // tag 1: editing off
    QLineEdit* searchField = nullptr;
    QPushButton* cancelSearchButton = nullptr;

    // Puts the keyboard into the search field (Ctrl+F, a click) and shows "Cancel".
    void beginSearch();
    // Empties the field and leaves the search. With `restore` the list returns to the
    // place it had when the search began; without, to its top (a result drilled into).
    void endSearch(bool restore = true);
    bool isSearching() const { return mSearching; }

signals:
    void listButtonPressed(int tag);
    void syncPressed();
    void addSongPressed();
    void editPressed(int tag);
    void clearPressed();
    // The field's text, on every change (empty: the search is over).
    void searchTextChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Puts every part at its frame for the list's present size.
    void layoutSubviews();
    void chooseRow(int flatRow);
    void searchFieldChanged(const QString& text);

    ListTableDataSource* mSource;
    ListViewModel* mModel;
    ListViewDelegate* mDelegate;
    ListTableView* mTable;
    ListViewIndexBar* mIndexBar;
    QWidget* mTableHeader = nullptr;
    bool mEditing = false;
    bool mSearching = false;
    bool mRestoreOnClear = true;
    QString mShownQuery;
    // Where the list was when its results replaced it.
    int mSavedScroll = 0;
    int mSavedCurrentRow = -1;
};
