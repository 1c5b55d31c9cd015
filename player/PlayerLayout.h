#pragma once
// The frames of the player's two screens as functions of the size they fill. 320 x 460 (a
// phone screen) is one case of it: every frame below comes out as that screen's own there.
// Larger sizes use the room rather than scaling: the list grows (more rows) with its bars on
// the edges; the player screen stays centred, its artwork growing with the height, the
// control strip along the bottom; a window wide enough and wider than tall puts the artwork
// and the controls side by side.

#include <QRect>
#include <QSize>

#include <array>

// The player screen (`contentView`), in its coordinates unless noted.
struct PlayerScreenFrames {
    QRect topBar;  // "upper.png"
    QRect title, artist, album;
    QRect listButton, settingButton;
    QRect panel;  // PlayControlView, and in it:
    QRect elapsed, remaining, slider, playCount, repeatButton, shuffleButton;
    QRect cover;  // the lyrics take the cover's frame
    QRect reflection;
    QRect strip;  // the control strip (its background fills it), and in it:
    QRect previous, play, next, volumeView;
    QRect volumeControl;  // in volumeView
    QRect quickButton;
    // Taps that show and hide the panel count between these two heights; one at or below
    // panelHideTop hides a visible panel.
    int tapTop = 0, tapBottom = 0, panelHideTop = 0;
    bool sideBySide = false;
};

PlayerScreenFrames playerScreenFrames(QSize size);

// The list screen, in its coordinates.
struct ListScreenFrames {
    QRect topBar;
    QRect syncButton;  // the search's "Cancel" takes its place
    QRect searchField;
    QRect infoButton;
    QRect tableHeader;  // TableHeaderView and EditDoneView
    QRect table;
    QRect indexBar;
    QRect tabBar;  // along the bottom edge, holding:
    std::array<QRect, 5> listButtons;  // title, artist, genre, album, playlist
};

ListScreenFrames listScreenFrames(QSize size);
