#pragma once
// The check each graph call makes first: whether a test asked it to fail this time.

#include "platform/audio/AudioTestFaults.h"

// True when this call of `call` is to fail; *status is then what it answers.
bool AudioFaultHit(AudioCall call, OSStatus* status);
