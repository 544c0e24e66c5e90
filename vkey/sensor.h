// The fingerprint sensor. A finger is identified by a number; placing it is a touch, and a
// wait for a finger is satisfied only by a touch it has not already used, so a finger left
// on the sensor does not give a second sample. In auto-touch mode every wait is answered
// after a delay by the finger the key asks for (or a stranger's).
#pragma once

#include <cstdint>
#include <optional>

namespace kelvora::vkey {

struct AutoTouch {
    std::int64_t delayMs = 500;
    bool stranger = false;
};

class Sensor {
  public:
    void Place(int finger);
    void Lift();
    void SetAutoTouch(std::optional<AutoTouch> autoTouch);
    const std::optional<AutoTouch>& autoTouch() const { return autoTouch_; }

    // A blocking wait (CTAP commands) starts now.
    void BeginWait(std::int64_t nowMs);
    // Returns the finger of an unused touch and marks it used. `autoFinger` is the finger the
    // auto-touch mode lays on once the delay since BeginWait has passed.
    std::optional<int> TakeTouch(std::int64_t nowMs, int autoFinger);

    // Polled commands (legacy APDUs): whether a finger is on the sensor now, and whether
    // this is a touch not yet used (then it is marked used).
    struct Presence {
        int finger = 0;
        bool fresh = false;
    };
    std::optional<Presence> Poll(std::int64_t nowMs, int autoFinger);

    bool fingerDown() const { return finger_.has_value(); }
    const std::optional<int>& finger() const { return finger_; }
    // True when a finger has been on the sensor since its last touch was used.
    bool heldSinceLastUse() const { return finger_.has_value() && touch_ == usedTouch_; }

  private:
    std::optional<int> finger_;
    std::uint64_t touch_ = 0;      // counts placements
    std::uint64_t usedTouch_ = 0;  // the placement last used by a wait
    std::optional<AutoTouch> autoTouch_;
    std::int64_t waitStartMs_ = 0;
    // Polled auto-touch alternates: absent until the delay passed, present for one poll.
    std::optional<std::int64_t> autoPollDueMs_;
};

}  // namespace kelvora::vkey
