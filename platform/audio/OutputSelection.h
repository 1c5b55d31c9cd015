#pragma once
// Chooses where a starting output unit plays: a test's capture when one is installed, the
// audio server when it can be reached (and not ruled out), the null output otherwise.

#include "platform/audio/OutputBackend.h"

#include <memory>

class OutputUnit;

// Answers a backend that has started pulling `unit`; never null.
std::unique_ptr<OutputBackend> StartOutputBackend(OutputUnit& unit);
