// The keyboard on the two main screens, and the names screen readers give their controls.
//
// Keys (listed in `tavoro --help`), while the list or the player is the screen shown:
// Space plays or pauses (a button reached with Tab is pressed instead), Ctrl+Left and
// Ctrl+Right go to the previous and the next song. On the player screen Left and Right
// seek 5 s back and forward (a volume slider reached with Tab moves instead), and Escape
// flips back to the list; on the list screen Ctrl+1 to Ctrl+5 choose the list as the tab
// bar's buttons do. The search field keeps the keys it edits with. Up, Down and Enter
// in the lists are the list's own (ListView); Ctrl+Q is the window's (the application).
//
// The buttons of the two screens take the keyboard focus only from Tab, so that a click
// leaves Space to the player; a screen that comes on gives the keyboard to its list or to
// itself, never to a button by chance.
//
// Names: buttons whose picture tells a state are named with the picture (PlayerImages), so
// "Repeat: all" follows the mode; the other controls are named here.
//
// Threads: main thread only.

#include "player/TavoroViewController.h"

#include "player/ListView.h"
#include "player/ListViewIndexBar.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>

#include <algorithm>

namespace {

constexpr double kSeekStepSeconds = 5.0;
constexpr double kFramesPerSecond = 44100.0;

// Gives the keyboard to `target` whenever `screen` comes on.
class FocusOnShow final : public QObject {
public:
    FocusOnShow(QWidget* screen, QWidget* target) : QObject(screen), mTarget(target)
    {
        screen->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && mTarget)
            mTarget->setFocus(Qt::OtherFocusReason);
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> mTarget;
};

} // namespace

void TavoroViewController::buildKeyboard()
{
    const auto onKey = [](QWidget* scope, const QKeySequence& keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(keys, scope);
        shortcut->setContext(Qt::WindowShortcut);  // only while `scope` is on screen
        connect(shortcut, &QShortcut::activated, scope, std::move(action));
    };
    onKey(this, QKeySequence(Qt::Key_Space), [this] { spacePressed(); });
    onKey(this, QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { buttonPressedAction(2); });
    onKey(this, QKeySequence(Qt::CTRL | Qt::Key_Right), [this] { buttonPressedAction(3); });
    onKey(contentView, QKeySequence(Qt::Key_Left), [this] { arrowPressed(-1); });
    onKey(contentView, QKeySequence(Qt::Key_Right), [this] { arrowPressed(1); });
    onKey(contentView, QKeySequence(Qt::Key_Escape), [this] { flipInfoAction(); });
    // Ctrl+1 to Ctrl+5 press the tab bar's list buttons, left to right, as a click would:
    // the buttons themselves take no focus, so the keyboard stays with the table.
    QPushButton* const lists[] = {mListTable->TitleButton, mListTable->ArtistButton, mListTable->GenreButton,
                                  mListTable->AlbumButton, mListTable->PlayListButton};
    for (int k = 0; k < 5; ++k)
        onKey(listView, QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + k)), [button = lists[k]] { button->click(); });

    // The position is moved with Left and Right; the slider stays a pointer's.
    playbackSlider->setFocusPolicy(Qt::NoFocus);
    // A click on a control that takes no focus (a list button) leaves the keyboard with the
    // screen it is on, not with the navigation stack around it.
    mListTable->setFocusProxy(mListTable->tableView());
    mListTable->setFocusPolicy(Qt::ClickFocus);
    contentView->setFocusPolicy(Qt::ClickFocus);
    new FocusOnShow(listView, mListTable->tableView());
    new FocusOnShow(contentView, contentView);
    nameControls();
}

void TavoroViewController::nameControls()
{
    listButtonItem->setAccessibleName(tr("Back to the list"));
    playbackSlider->setAccessibleName(tr("Position"));
    LyricsView->setAccessibleName(tr("Lyrics"));
    contentView->setAccessibleName(tr("Player"));
    mListTable->tableView()->setAccessibleName(tr("Library"));
    mListTable->searchField->setAccessibleName(tr("Search"));
    mListTable->indexBar()->setAccessibleName(tr("Section index"));
}

void TavoroViewController::spacePressed()
{
    auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    if (focused && isAncestorOf(focused)) {
        focused->animateClick();
        return;
    }
    buttonPressedAction(1);
}

void TavoroViewController::arrowPressed(int direction)
{
    auto* focused = qobject_cast<QAbstractSlider*>(QApplication::focusWidget());
    if (focused && contentView->isAncestorOf(focused)) {
        focused->triggerAction(direction > 0 ? QAbstractSlider::SliderSingleStepAdd
                                             : QAbstractSlider::SliderSingleStepSub);
        return;
    }
    seekBy(direction * kSeekStepSeconds);
}

void TavoroViewController::seekBy(double seconds)
{
    if (playbackSlider->maximum() == 0)
        return;  // no song open yet
    const int64_t target = std::clamp<int64_t>(int64_t(playbackSlider->value() + seconds * kFramesPerSecond), 0,
                                               playbackSlider->maximum());
    // As a drag of the position slider to there and a release.
    setSliderValue(target);
    SeekSlider();
    SeekSliderEditEnd();
}
