#pragma once
// The list screen: a bar with the sync button, the table header with the picked-songs
// controls, the table of the list shown with its side index, and the five list buttons
// (title, artist, genre, album, playlist) at the bottom. It shows what its data source
// answers and reports the user's actions; the player controller decides what they do.
//
// Mouse, touch and keyboard: a click or tap chooses a row; the arrow keys move along the
// rows, Enter chooses the current one, and typing a letter jumps to its section ("#" for a
// digit) in a sectioned list. The side index follows a press and a drag.
//
// Threads: main thread only.

#include "player/ListViewModel.h"

#include <QListView>
#include <QWidget>

class ListViewDelegate;
class ListViewIndexBar;
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
    void letterTyped(const QString& letter);

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
    QPushButton* syncButtonItem = nullptr;
    QWidget* TableHeaderView = nullptr;
    QWidget* EditDoneView = nullptr;
    QPushButton* addSongButton = nullptr;  // opens the media picker
    QPushButton* editButton = nullptr;     // tag 0: editing on
    QPushButton* clearButton = nullptr;    // the "Clear PlayList" sheet
    QPushButton* doneButton = nullptr;     // tag 1: editing off

signals:
    void listButtonPressed(int tag);
    void syncPressed();
    void addSongPressed();
    void editPressed(int tag);
    void clearPressed();

private:
    void chooseRow(int flatRow);
    void jumpToLetter(const QString& letter);

    ListTableDataSource* mSource;
    ListViewModel* mModel;
    ListViewDelegate* mDelegate;
    ListTableView* mTable;
    ListViewIndexBar* mIndexBar;
    QWidget* mTableHeader = nullptr;
    bool mEditing = false;
};
