#pragma once
// What the program sets up around the delegate, shared by the program entry and the tests
// that launch the application in their own process.

class TavoroAppDelegate;

// The application's name and icon, and the settings menu the player opens.
void configureTavoroApplication();
// The launch's audio session step.
void installAudioSessionSetUp(TavoroAppDelegate& delegate);
