#pragma once
// The engine's position and end-of-track notification and its payload keys. The payload
// holds MusicPlayTimerKey -> position in frames (qint64); the end-of-track report also
// holds MusciPlayfinishKey -> 1 with the track length as its position, and, when the
// engine went straight on with the prepared next song, MusicPlayMovedOnKey -> 1. When a
// read failed (the song cannot be decoded) and the graph stopped, a report holds
// MusicPlayReadFailedKey -> 1 with the play position.

#include <QString>

inline const QString MusicPlayTimerNotification = QStringLiteral("MusicPlayTimerNotification");
inline const QString MusicPlayTimerKey = QStringLiteral("MusicPlayTimerKey");
inline const QString MusciPlayfinishKey = QStringLiteral("MusciPlayfinishKey");
inline const QString MusicPlayMovedOnKey = QStringLiteral("MusicPlayMovedOnKey");
inline const QString MusicPlayReadFailedKey = QStringLiteral("MusicPlayReadFailedKey");
