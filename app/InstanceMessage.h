#pragma once
// What a later start of the program says to the running player over the single-instance
// socket, and the running player's answer. The socket is the user's own, but the bytes on
// it are still checked before the player acts on them: only this one message is accepted.
//
//   "tavoro-open 1\n"           the message and its version
//   COUNT "\n"                  the number of paths, in decimal (0: only raise the window)
//   COUNT x PATH "\0"           absolute, clean paths of the songs to play, in order
//
// and nothing after. The running player answers "ok\n" once it has taken a whole, valid
// message.

#include <QByteArray>
#include <QList>

inline constexpr char kInstanceAnswer[] = "ok\n";
inline constexpr int kMaxInstancePaths = 10000;
inline constexpr int kMaxInstancePathBytes = 4096;  // PATH_MAX, the terminating NUL included

// The message for `paths`. Paths that could not pass the check on arrival are left out.
QByteArray encodeOpenMessage(const QList<QByteArray>& paths);

enum class OpenMessageState { Incomplete, Invalid, Complete };
struct OpenMessage {
    OpenMessageState state = OpenMessageState::Incomplete;
    QList<QByteArray> paths;  // when Complete
};
// Reads what has arrived so far: Incomplete while it may still become a valid message,
// Invalid as soon as it cannot.
OpenMessage decodeOpenMessage(const QByteArray& received);
