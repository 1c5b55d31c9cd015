#pragma once
// Creates an effect screen by its title ("3D.STEREO Control", "G.EQ Control",
// "ON.STAGE Control", "SPEED/PITCH Control", "Docking Mode", "Volume Leveling"), holding `settings`, as the
// settings menu and the docking screen open them; null for any other title.

#include "library/LiveTable.h"

#include <QString>

class EffectScreen;

EffectScreen* newEffectScreen(const QString& title, const LiveTableRef& settings);
