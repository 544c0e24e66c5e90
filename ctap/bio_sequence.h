// What the long fingerprint operations (enrollment, verification test) share: how they
// end, and the services they are given so that tests control time.
#pragma once

#include <cstdint>

#include "ctap/fingerprint_name.h"
#include "platform/clock.h"
#include "platform/debug_output.h"

namespace kelvora {

enum class SequenceEnd {
    kFinished,   // ran to its end; `result` is the outcome to hand back
    kCancelled,  // the user's cancel flag
    kAborted,    // the key was removed
    kSuspended,  // the system is going to sleep (legacy enrollment)
};

// How a sequence ended. Whatever the end, the worker then closes its dialog; only a
// finished sequence reports its result first. `result` is kBioSequenceAborted for a cancel
// or a removal and kBioSequenceSuspended for a suspend, so a caller that looks only at the
// number never mistakes them for success.
struct SequenceOutcome {
    SequenceEnd end = SequenceEnd::kFinished;
    std::uint16_t result = 0;
    // An enrollment's samples were all taken, so the key holds the new template even when
    // the step after them (naming it) failed.
    bool templateStored = false;
};

struct BioSequenceServices {
    Clock& clock = SystemClock();  // pauses and the legacy time limits
    DebugOutput& debug = SystemDebugOutput();
    WallClock wallClock = SystemWallClock();  // the enrollment's name stamp
};

}  // namespace kelvora
