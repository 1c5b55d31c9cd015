#pragma once
// How the player opens the settings menu, which lives in a layer above it: that layer
// registers a maker once at start-up, and the player's settings button asks it for a
// new menu each time, given the live settings table.
//
// Threads: main thread only.

#include "library/LiveTable.h"

#include <functional>

class ViewController;

using SettingsMenuFactory = std::function<ViewController*(const LiveTableRef& settings)>;

void setSettingsMenuFactory(SettingsMenuFactory factory);
// A new settings menu holding `settings`, or null while no maker is registered.
ViewController* makeSettingsMenu(const LiveTableRef& settings);
