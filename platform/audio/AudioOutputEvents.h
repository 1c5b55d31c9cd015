#pragma once
// Requests the audio server makes of the playback stream, passed on to whoever manages the
// audio session: pause for another stream (a phone call corking music) and go on again.

enum class AudioOutputEvent { PauseRequested, ResumeRequested };

using AudioOutputEventHandler = void (*)(void* context, AudioOutputEvent event);

// One handler for the process; nullptr removes it. Called on the audio server connection's
// thread, so the handler hands the work to its own thread.
void AudioOutputSetEventHandler(AudioOutputEventHandler handler, void* context);

// Underflows the audio server reported for our playback streams since the process started
// (the sink wanted audio that the stream had not delivered yet): each one is an audible gap.
long AudioOutputUnderflowCount();
