#include "vkey/sensor.h"

namespace kelvora::vkey {

void Sensor::Place(int finger) {
    finger_ = finger;
    ++touch_;
}

void Sensor::Lift() {
    finger_.reset();
}

void Sensor::SetAutoTouch(std::optional<AutoTouch> autoTouch) {
    autoTouch_ = autoTouch;
    autoPollDueMs_.reset();
}

void Sensor::BeginWait(std::int64_t nowMs) {
    waitStartMs_ = nowMs;
}

std::optional<int> Sensor::TakeTouch(std::int64_t nowMs, int autoFinger) {
    if (finger_ && touch_ != usedTouch_) {
        usedTouch_ = touch_;
        return finger_;
    }
    if (autoTouch_ && nowMs - waitStartMs_ >= autoTouch_->delayMs) {
        waitStartMs_ = nowMs;  // the next wait gets its own delay
        return autoFinger;
    }
    return std::nullopt;
}

std::optional<Sensor::Presence> Sensor::Poll(std::int64_t nowMs, int autoFinger) {
    if (finger_) {
        const bool fresh = touch_ != usedTouch_;
        usedTouch_ = touch_;
        return Presence{*finger_, fresh};
    }
    if (!autoTouch_) {
        return std::nullopt;
    }
    if (!autoPollDueMs_) {
        autoPollDueMs_ = nowMs + autoTouch_->delayMs;
        return std::nullopt;
    }
    if (nowMs < *autoPollDueMs_) {
        return std::nullopt;
    }
    // Down for this poll, lifted before the next one: the next touch is due after the delay.
    // The delay is at least one poll so that the host always sees the finger lifted.
    autoPollDueMs_ = nowMs + (autoTouch_->delayMs > 0 ? autoTouch_->delayMs : 1);
    return Presence{autoFinger, true};
}

}  // namespace kelvora::vkey
