#include "player/ListView.h"

#include "player/ListViewDelegate.h"
#include "player/ListViewIndexBar.h"
#include "player/PlayerImages.h"
#include "player/PlayerLayout.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

#include <functional>

namespace {

QPushButton* textButton(QWidget* parent, const QString& text, int tag)
{
    auto* b = new QPushButton(text, parent);
    b->setProperty("tag", tag);
    b->setFocusPolicy(Qt::NoFocus);  // the keyboard stays with the table
    return b;
}

// The search field: taking the keyboard (a click) starts the search, Escape leaves it,
// Down and Enter hand the keyboard to the results.
class SearchField : public QLineEdit {
public:
    SearchField(QWidget* parent, std::function<void()> focused, std::function<void()> escape,
                std::function<void()> toResults)
        : QLineEdit(parent), mFocused(std::move(focused)), mEscape(std::move(escape)),
          mToResults(std::move(toResults)) {}

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        QLineEdit::focusInEvent(event);
        // Not when the window merely comes back to the front with the field focused.
        if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
            mFocused();
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Escape: mEscape(); return;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter: mToResults(); return;
        default: QLineEdit::keyPressEvent(event);
        }
    }

private:
    std::function<void()> mFocused;
    std::function<void()> mEscape;
    std::function<void()> mToResults;
};

} // namespace

void ListTableView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (currentIndex().isValid())
            emit rowActivated(currentIndex().row());
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        emit escapePressed();
        return;
    }
    QListView::keyPressEvent(event);
}

void ListTableView::keyboardSearch(const QString& search)
{
    // Text typed on the table starts (or goes on with) the search.
    if (!search.isEmpty())
        emit textTyped(search);
}

ActivityIndicatorView::ActivityIndicatorView(QWidget* parent) : QWidget(parent), mTimer(new QTimer(this))
{
    resize(37, 37);
    mTimer->setInterval(80);
    connect(mTimer, &QTimer::timeout, this, [this] {
        mStep = (mStep + 1) % 12;
        update();
    });
}

void ActivityIndicatorView::startAnimating()
{
    mTimer->start();
    show();
}

void ActivityIndicatorView::stopAnimating()
{
    mTimer->stop();
}

bool ActivityIndicatorView::isAnimating() const
{
    return mTimer->isActive();
}

void ActivityIndicatorView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = std::min(width(), height()) / 2.0;
    for (int i = 0; i < 12; ++i) {
        QColor spoke(Qt::white);
        spoke.setAlphaF(0.25 + 0.75 * double((i + 12 - mStep) % 12) / 11.0);
        painter.setPen(QPen(spoke, radius / 5.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.rotate(30);
    }
}

ListView::ListView(ListTableDataSource* dataSource, QWidget* parent)
    : QWidget(parent),
      mSource(dataSource),
      mModel(new ListViewModel(dataSource, this)),
      mDelegate(new ListViewDelegate(this)),
      mTable(new ListTableView(this)),
      mIndexBar(new ListViewIndexBar(this))
{
    resize(320, 460);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x6d, 0x84, 0xa2));
    setPalette(pal);

    // The bar's artwork lies under its controls, stretched along the bar.
    listTopImage = new QLabel(this);
    makeBarImageView(listTopImage);
    listTopImage->lower();
    syncButtonItem = textButton(this, QString(), 0);
    syncButtonItem->setFlat(true);
    syncButtonItem->setToolTip(tr("Sync"));
    // The field fills the bar between the sync button and the player's info button.
    searchField = new SearchField(
        this,
        [this] {
            mSearching = true;
            cancelSearchButton->show();
            cancelSearchButton->raise();
        },
        [this] { endSearch(); },
        [this] {
            const int first = mModel->isHeaderRow(0) ? 1 : 0;
            if (first < mModel->rowCount())
                mTable->setCurrentIndex(mModel->index(first));
            mTable->setFocus();
        });
    searchField->setObjectName(QStringLiteral("searchField"));
    searchField->setPlaceholderText(tr("Search"));
    cancelSearchButton = textButton(this, tr("Cancel"), 0);
    cancelSearchButton->hide();

    TableHeaderView = new QWidget(this);
    addSongButton = textButton(TableHeaderView, tr("Add Song"), 0);
    editButton = textButton(TableHeaderView, tr("Edit"), 0);
    clearButton = textButton(TableHeaderView, tr("Clear"), 0);
    auto* headerRow = new QHBoxLayout(TableHeaderView);
    headerRow->setContentsMargins(8, 6, 8, 6);
    for (QPushButton* b : {addSongButton, editButton, clearButton})
        headerRow->addWidget(b);
    EditDoneView = new QWidget(this);
    doneButton = textButton(EditDoneView, tr("Done"), 1);
    auto* doneRow = new QHBoxLayout(EditDoneView);
    doneRow->setContentsMargins(8, 6, 8, 6);
    doneRow->addStretch();
    doneRow->addWidget(doneButton);
    EditDoneView->hide();
    mTableHeader = TableHeaderView;

    mTable->setModel(mModel);
    mTable->setItemDelegate(mDelegate);
    mTable->setSelectionMode(QAbstractItemView::SingleSelection);
    mTable->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    mTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setFrameShape(QFrame::NoFrame);
    // Header rows and rows differ in height; the view lays out only what it has to.
    mTable->setUniformItemSizes(false);
    mTable->setLayoutMode(QListView::Batched);
    mTable->setBatchSize(200);
    mTable->setFocusPolicy(Qt::StrongFocus);
    mTable->setAttribute(Qt::WA_AcceptTouchEvents);
    mIndexBar->hide();

    QPushButton** buttons[] = {&TitleButton, &ArtistButton, &GenreButton, &AlbumButton, &PlayListButton};
    const QString names[] = {tr("Title"), tr("Artist"), tr("Genre"), tr("Album"), tr("PlayList")};
    for (int tag = 0; tag < 5; ++tag) {
        QPushButton* b = textButton(this, QString(), tag);
        b->setFlat(true);
        b->setToolTip(names[tag]);
        b->setAccessibleName(names[tag]);
        *buttons[tag] = b;
        connect(b, &QPushButton::clicked, this, [this, tag] { emit listButtonPressed(tag); });
    }

    connect(syncButtonItem, &QPushButton::clicked, this, &ListView::syncPressed);
    connect(addSongButton, &QPushButton::clicked, this, &ListView::addSongPressed);
    connect(editButton, &QPushButton::clicked, this, [this] { emit editPressed(0); });
    connect(doneButton, &QPushButton::clicked, this, [this] { emit editPressed(1); });
    connect(clearButton, &QPushButton::clicked, this, &ListView::clearPressed);
    connect(mTable, &QListView::clicked, this, [this](const QModelIndex& index) { chooseRow(index.row()); });
    connect(mTable, &ListTableView::rowActivated, this, &ListView::chooseRow);
    connect(mTable, &ListTableView::textTyped, this, [this](const QString& text) {
        beginSearch();
        searchField->insert(text);
    });
    connect(mTable, &ListTableView::escapePressed, this, [this] {
        if (mSearching)
            endSearch();
    });
    connect(cancelSearchButton, &QPushButton::clicked, this, [this] { endSearch(); });
    connect(searchField, &QLineEdit::textChanged, this, &ListView::searchFieldChanged);
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, &ListView::beginSearch);
    connect(mIndexBar, &ListViewIndexBar::titleTouched, this, [this](const QString& title, int index) {
        scrollToSection(mSource->sectionForSectionIndexTitle(title, index));
    });
    layoutSubviews();
}

void ListView::layoutSubviews()
{
    const ListScreenFrames frames = listScreenFrames(size());
    // Pictures are drawn for their view's size: again only when that size changes.
    const bool barResized = listTopImage->size() != frames.topBar.size() || imageNameOf(listTopImage).isEmpty();
    listTopImage->setGeometry(frames.topBar);
    if (barResized)
        setViewImage(listTopImage, QStringLiteral("list_bar.png"));
    const bool syncResized = syncButtonItem->size() != frames.syncButton.size() || imageNameOf(syncButtonItem).isEmpty();
    syncButtonItem->setGeometry(frames.syncButton);
    if (syncResized)
        setButtonImage(syncButtonItem, QStringLiteral("sync_button.png"));
    cancelSearchButton->setGeometry(frames.syncButton);
    searchField->setGeometry(frames.searchField);
    TableHeaderView->setGeometry(frames.tableHeader);
    EditDoneView->setGeometry(frames.tableHeader);
    mTable->setGeometry(frames.table);
    mIndexBar->setGeometry(frames.indexBar);
    QPushButton* const buttons[] = {TitleButton, ArtistButton, GenreButton, AlbumButton, PlayListButton};
    for (size_t tag = 0; tag < 5; ++tag) {
        QPushButton* b = buttons[tag];
        const bool resized = b->size() != frames.listButtons[tag].size();
        b->setGeometry(frames.listButtons[tag]);
        // Its picture, drawn again for the new size.
        if (resized && !imageNameOf(b).isEmpty())
            setButtonImage(b, imageNameOf(b));
    }
}

void ListView::paintEvent(QPaintEvent*)
{
    // The tab bar's own background, in the colours of the buttons' pictures, shows between
    // them where the bar is wider than the five pictures.
    const QRect bar = listScreenFrames(size()).tabBar;
    QLinearGradient shade(bar.topLeft(), bar.bottomLeft());
    shade.setColorAt(0, QColor(0x5b, 0x62, 0x70));
    shade.setColorAt(1, QColor(0x2a, 0x2e, 0x35));
    QPainter(this).fillRect(bar, shade);
}

void ListView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutSubviews();
}

void ListView::reloadData()
{
    const int scroll = mTable->verticalScrollBar()->value();
    mModel->reloadData();
    mIndexBar->setTitles(mSource->sectionIndexTitlesForTableView());
    mIndexBar->raise();
    // A reload keeps the place in the list (as after a now-playing change).
    mTable->verticalScrollBar()->setValue(scroll);
}

void ListView::chooseRow(int flatRow)
{
    const ListIndexPath path = mModel->indexPathForRow(flatRow);
    if (path.section < 0)
        return;  // a section header
    mSource->didSelectRowAtIndexPath(path);
    mTable->clearSelection();
}

void ListView::scrollToSection(int section)
{
    const int row = mModel->rowOfSection(section);
    if (row < 0)
        return;
    const QModelIndex index = mModel->index(row);
    mTable->scrollTo(index, QAbstractItemView::PositionAtTop);
    // The keyboard continues from the section's first row.
    const int first = mModel->isHeaderRow(row) ? row + 1 : row;
    if (first < mModel->rowCount())
        mTable->setCurrentIndex(mModel->index(first));
    mTable->clearSelection();
}

void ListView::beginSearch()
{
    mSearching = true;
    cancelSearchButton->show();
    cancelSearchButton->raise();
    searchField->setFocus(Qt::ShortcutFocusReason);
}

void ListView::endSearch(bool restore)
{
    mRestoreOnClear = restore;
    searchField->clear();
    mRestoreOnClear = true;
    if (!restore)
        mTable->verticalScrollBar()->setValue(0);
    mSearching = false;
    cancelSearchButton->hide();
    mTable->setFocus();
}

void ListView::searchFieldChanged(const QString& text)
{
    const bool wasShowing = !mShownQuery.isEmpty();
    const bool showing = !text.isEmpty();
    if (showing && !wasShowing) {
        mSavedScroll = mTable->verticalScrollBar()->value();
        mSavedCurrentRow = mTable->currentIndex().isValid() ? mTable->currentIndex().row() : -1;
        mSearching = true;
        cancelSearchButton->show();
        cancelSearchButton->raise();
    }
    mShownQuery = text;
    emit searchTextChanged(text);  // the data source answers the results, and reloads
    if (showing) {
        mTable->verticalScrollBar()->setValue(0);
        mTable->setCurrentIndex(QModelIndex());
    } else if (wasShowing && mRestoreOnClear) {
        if (mSavedCurrentRow >= 0 && mSavedCurrentRow < mModel->rowCount())
            mTable->setCurrentIndex(mModel->index(mSavedCurrentRow));
        mTable->clearSelection();
        mTable->verticalScrollBar()->setValue(mSavedScroll);
    }
}

void ListView::setTableHeaderView(QWidget* header)
{
    for (QWidget* view : {TableHeaderView, EditDoneView})
        view->setVisible(view == header);
    mTableHeader = header;
}

void ListView::setEditing(bool editing)
{
    mEditing = editing;
    mDelegate->setEditing(editing);
    mTable->viewport()->update();
}

QRect ListView::visualRectOf(ListIndexPath indexPath) const
{
    const int row = mModel->rowForIndexPath(indexPath);
    return row < 0 ? QRect() : mTable->visualRect(mModel->index(row));
}
