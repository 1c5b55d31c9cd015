#include "player/PlayerLayout.h"

#include <algorithm>

namespace {

constexpr int kBarHeight = 44;
// The player screen's controls are laid out for this width and centred in wider columns.
constexpr int kControlsWidth = 320;
constexpr int kPanelHeight = 62;
constexpr int kStripHeight = 84;
constexpr int kQuickButtonWidth = 205;
constexpr int kQuickButtonHeight = 50;
// Below the cover: the gap to the quick button, the button, and the gap to the strip.
constexpr int kCoverToQuickButton = 19;
constexpr int kBelowCover = kCoverToQuickButton + kQuickButtonHeight + 17;
constexpr int kCoverTop = 50;
constexpr int kSmallestCover = 100;
// Side by side needs room for a cover next to the controls.
constexpr int kSideBySideWidth = 560;

constexpr int kTableHeaderHeight = 44;
constexpr int kTabBarHeight = 49;
constexpr int kIndexWidth = 24;

}  // namespace

PlayerScreenFrames playerScreenFrames(QSize size)
{
    const int w = std::max(size.width(), kControlsWidth);
    const int h = size.height();
    PlayerScreenFrames f;
    f.sideBySide = w > h && w >= kSideBySideWidth;

    // The column of the controls: the whole width, or the right half (at least 320 wide) with
    // the artwork on the left.
    const int artWidth = !f.sideBySide ? w : (w >= 2 * kControlsWidth ? w / 2 : w - kControlsWidth);
    const int columnX = !f.sideBySide ? 0 : artWidth + (w - artWidth - kControlsWidth) / 2;
    const int columnWidth = !f.sideBySide ? w : kControlsWidth;
    const int centred = (columnWidth - kControlsWidth) / 2;

    f.topBar = QRect(0, 0, w, kBarHeight);
    f.title = QRect(60, 2, w - 120, 16);
    f.artist = QRect(60, 18, w - 120, 13);
    f.album = QRect(60, 31, w - 120, 13);
    f.listButton = QRect(5, 7, 50, 30);
    f.settingButton = QRect(w - 55, 7, 50, 30);

    f.panel = QRect(columnX, kBarHeight, columnWidth, kPanelHeight);
    f.elapsed = QRect(4, 6, 50, 16);
    f.remaining = QRect(columnWidth - 54, 6, 50, 16);
    f.slider = QRect(56, 4, columnWidth - 112, 20);
    f.playCount = QRect((columnWidth - 100) / 2, 36, 100, 16);
    f.repeatButton = QRect(8, 28, 40, 31);
    f.shuffleButton = QRect(columnWidth - 48, 28, 40, 31);

    const int stripTop = h - kStripHeight;
    f.strip = QRect(columnX, stripTop, columnWidth, kStripHeight);
    f.previous = QRect(centred + 50, 7, 40, 31);
    f.play = QRect(centred + 140, 7, 40, 31);
    f.next = QRect(centred + 230, 7, 40, 31);
    f.volumeView = QRect(0, 42, columnWidth, 42);
    f.volumeControl = QRect(centred + 20, 15, 280, 42);

    const int quickX = columnX + (columnWidth - kQuickButtonWidth) / 2;
    if (!f.sideBySide) {
        // The cover, the quick button and the gap above the strip form one block, centred
        // between the top of the cover's place and the strip; the cover grows with the height
        // as far as the width allows.
        const int side = std::max(kSmallestCover, std::min(w - 80, h - 220));
        const int top = kCoverTop + std::max(0, (stripTop - kCoverTop - side - kBelowCover) / 2);
        f.cover = QRect((w - side) / 2, top, side, side);
        f.quickButton = QRect(quickX, top + side + kCoverToQuickButton, kQuickButtonWidth, kQuickButtonHeight);
    } else {
        const int side = std::max(kSmallestCover, std::min(artWidth - 40, h - kBarHeight - 40));
        f.cover = QRect((artWidth - side) / 2, kBarHeight + (h - kBarHeight - side) / 2, side, side);
        const int between = kBarHeight + kPanelHeight;
        f.quickButton = QRect(quickX, (between + stripTop - kQuickButtonHeight) / 2, kQuickButtonWidth,
                              kQuickButtonHeight);
    }
    f.reflection = f.cover.translated(0, f.cover.height());

    f.tapTop = 45;
    f.tapBottom = stripTop - 6;
    f.panelHideTop = 120;
    return f;
}

ListScreenFrames listScreenFrames(QSize size)
{
    const int w = std::max(size.width(), kControlsWidth);
    const int h = size.height();
    ListScreenFrames f;
    f.topBar = QRect(0, 0, w, kBarHeight);
    f.syncButton = QRect(5, 7, 60, 30);
    f.searchField = QRect(70, 7, w - 125, 30);
    f.infoButton = QRect(w - 50, 7, 44, 30);
    f.tableHeader = QRect(0, kBarHeight, w, kTableHeaderHeight);
    const int tableTop = kBarHeight + kTableHeaderHeight;
    const int tableHeight = std::max(0, h - tableTop - kTabBarHeight);
    f.table = QRect(0, tableTop, w, tableHeight);
    f.indexBar = QRect(w - kIndexWidth, tableTop, kIndexWidth, tableHeight);
    f.tabBar = QRect(0, h - kTabBarHeight, w, kTabBarHeight);
    // The five buttons share the bottom edge; the rounding goes into their widths, so the
    // bar always ends at the right edge.
    for (int tag = 0; tag < 5; ++tag) {
        const int left = tag * w / 5;
        f.listButtons[size_t(tag)] = QRect(left, h - kTabBarHeight, (tag + 1) * w / 5 - left, kTabBarHeight);
    }
    return f;
}
