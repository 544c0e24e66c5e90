#include "vkey/virtual_key.h"

#include <chrono>
#include <utility>

#include "vkey/command_dispatch.h"
#include "vkey/ctap_defs.h"
#include "vkey/legacy_apdu.h"

namespace kelvora::vkey {
namespace {

// How often a blocked reader looks at the injected clock again.
constexpr auto kReaderPollInterval = std::chrono::milliseconds(5);

// Cuts a response short for the malformed-response fault: the status byte stays, the CBOR
// body loses its second half; a status-only CTAP reply gains a stray byte; an APDU reply
// loses SW2.
void Malform(Bytes& response) {
    if (response.size() <= 1) {
        response.push_back(0xFF);
        return;
    }
    response.resize(response.size() / 2 > 0 ? response.size() / 2 : 1);
}

}  // namespace

VirtualKey::VirtualKey(const Config& config, const Clock& clock, State initial)
    : config_(config),
      clock_(clock),
      state_(std::move(initial)),
      context_{config_, state_, session_, sensor_, clock_, faults_},
      engine_(config.firmware),
      hostility_(config.hostility) {}

VirtualKey::~VirtualKey() = default;

void VirtualKey::Plug() {
    const std::lock_guard events(plugEventMutex_);
    {
        const std::lock_guard lock(mutex_);
        if (plugged_) {
            return;
        }
        plugged_ = true;
        ++plugCount_;
        session_ = PlugSession{};
        session_.plugTimeMs = clock_.NowMs();
        key_ops::RenewSessionSecrets(session_);
        engine_.Reset();
        pending_.reset();
        stalledChannel_.reset();
    }
    NotifyPlugObservers(true);
}

void VirtualKey::Unplug() {
    EndPlugIn(kAnyPlugIn);
}

void VirtualKey::EndPlugIn(std::uint64_t plugIn) {
    std::function<void()> removalObserver;
    {
        const std::lock_guard events(plugEventMutex_);
        {
            const std::lock_guard lock(mutex_);
            if (!plugged_ || (plugIn != kAnyPlugIn && plugIn != plugCount_)) {
                return;
            }
            plugged_ = false;
            engine_.Reset();
            pending_.reset();
            stalledChannel_.reset();
            session_.enrollment.reset();
            session_.challenge.reset();
            removalObserver = removalObserver_;
        }
        outputReady_.notify_all();
        NotifyPlugObservers(false);
    }
    if (removalObserver) {
        removalObserver();
    }
}

bool VirtualKey::plugged() const {
    const std::lock_guard lock(mutex_);
    return plugged_;
}

std::uint64_t VirtualKey::plugIn() const {
    const std::lock_guard lock(mutex_);
    return plugged_ ? plugCount_ : kNotPlugged;
}

void VirtualKey::SetRemovalObserver(std::function<void()> observer) {
    const std::lock_guard lock(mutex_);
    removalObserver_ = std::move(observer);
}

int VirtualKey::AddPlugObserver(PlugObserver observer) {
    const std::lock_guard events(plugEventMutex_);
    const int id = nextPlugObserverId_++;
    plugObservers_.emplace(id, std::move(observer));
    return id;
}

void VirtualKey::RemovePlugObserver(int id) {
    const std::lock_guard events(plugEventMutex_);
    plugObservers_.erase(id);
}

void VirtualKey::NotifyPlugObservers(bool plugged) {
    for (const auto& [id, observer] : plugObservers_) {
        if (observer) {
            observer(plugged);
        }
    }
}

bool VirtualKey::ConnectedLocked(std::uint64_t plugIn) const {
    // A halted engine is a key being pulled out: its host side is gone already.
    return plugged_ && !engine_.halted() && (plugIn == kAnyPlugIn || plugIn == plugCount_);
}

std::uint64_t VirtualKey::requestCount() const {
    const std::lock_guard lock(mutex_);
    return engine_.messagesTaken();
}

void VirtualKey::UnplugBeforeRequest(std::uint64_t index) {
    const std::lock_guard lock(mutex_);
    engine_.HaltAtMessage(engine_.messagesTaken() + index);
}

void VirtualKey::DisarmUnplug() {
    const std::lock_guard lock(mutex_);
    engine_.HaltAtMessage(std::nullopt);
}

bool VirtualKey::WritePacket(const std::uint8_t (&packet)[kPacketSize], std::uint64_t plugIn) {
    std::uint64_t pulledPlugIn = kNotPlugged;
    {
        const std::lock_guard lock(mutex_);
        if (!ConnectedLocked(plugIn)) {
            return false;
        }
        const std::int64_t now = clock_.NowMs();
        if (config_.needsSettleDelay() && now - session_.plugTimeMs < config_.settleDelayMs) {
            return true;  // still settling: the packet is lost, as on the real model
        }
        std::optional<HidMessage> message = engine_.HandlePacket(packet, now);
        if (message && armedFault_ && engine_.messagesTaken() == armedFault_->firesAt) {
            InjectFaultLocked(armedFault_->fault);
            armedFault_.reset();
        }
        if (engine_.halted()) {
            pulledPlugIn = plugCount_;
        } else {
            if (message) {
                HandleMessageLocked(std::move(*message));
            }
            ServiceLocked();
        }
    }
    if (pulledPlugIn != kNotPlugged) {
        // Outside the lock, as Unplug: the observers may call back into the key. Only this
        // plug-in: someone else may have unplugged and re-plugged the key meanwhile.
        EndPlugIn(pulledPlugIn);
        return true;
    }
    outputReady_.notify_all();
    return true;
}

VirtualKey::ReadResult VirtualKey::ReadPacket(Packet& out, std::int64_t realTimeoutMs,
                                              std::uint64_t plugIn) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
    std::unique_lock lock(mutex_);
    while (true) {
        if (!ConnectedLocked(plugIn)) {
            return ReadResult::kRemoved;
        }
        ServiceLocked();
        if (std::optional<Packet> packet = engine_.PopOutput()) {
            out = *packet;
            return ReadResult::kPacket;
        }
        if (realTimeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) {
            return ReadResult::kTimedOut;
        }
        outputReady_.wait_for(lock, kReaderPollInterval);
    }
}

std::optional<Packet> VirtualKey::TryReadPacket(std::uint64_t plugIn) {
    const std::lock_guard lock(mutex_);
    if (!ConnectedLocked(plugIn)) {
        return std::nullopt;
    }
    ServiceLocked();
    return engine_.PopOutput();
}

void VirtualKey::Service() {
    {
        const std::lock_guard lock(mutex_);
        if (!plugged_) {
            return;
        }
        ServiceLocked();
    }
    outputReady_.notify_all();
}

void VirtualKey::ServiceLocked() {
    const std::int64_t now = clock_.NowMs();
    engine_.Tick(now);
    if (stalledChannel_ && now >= nextStallKeepaliveMs_) {
        engine_.SendKeepalive(*stalledChannel_, KeepaliveStatus::kProcessing);
        nextStallKeepaliveMs_ = now + kKeepaliveIntervalMs;
    }
    if (!pending_) {
        return;
    }
    std::optional<FingerOutcome> outcome;
    if (pending_->cancelled) {
        outcome = FingerOutcome{FingerOutcome::Kind::kCancelled, 0, false};
    } else if (std::optional<int> finger = sensor_.TakeTouch(now, pending_->wait.autoFinger)) {
        outcome = FingerOutcome{FingerOutcome::Kind::kFinger, *finger, false};
    } else if (now >= pending_->deadlineMs) {
        outcome = FingerOutcome{FingerOutcome::Kind::kTimeout, 0, sensor_.heldSinceLastUse()};
    }
    if (!outcome) {
        if (now >= pending_->nextKeepaliveMs) {
            engine_.SendKeepalive(pending_->channel, KeepaliveStatus::kUpNeeded);
            pending_->nextKeepaliveMs = now + kKeepaliveIntervalMs;
        }
        return;
    }
    PendingWait finished = std::move(*pending_);
    pending_.reset();
    engine_.SetBusyChannel(std::nullopt);
    FinishLocked(finished.channel, finished.wait.complete(*outcome), finished.request);
}

void VirtualKey::HandleMessageLocked(HidMessage message) {
    switch (message.command) {
        case HidCommand::kInit:  // a resynchronisation abandoned the waiting command
            pending_.reset();
            engine_.SetBusyChannel(std::nullopt);
            return;
        case HidCommand::kCancel:
            if (pending_ && pending_->channel == message.channel) {
                pending_->cancelled = true;
            }
            return;
        case HidCommand::kCbor:
            break;
        default:
            return;
    }
    if (message.payload.empty()) {
        engine_.SendError(message.channel, HidError::kInvalidLen);
        return;
    }
    if (faults_.neverAnswerNext || hostility_ == Hostility::kSilent) {
        faults_.neverAnswerNext = false;
        RecordLocked(message.payload, {});
        return;
    }
    if (hostility_ == Hostility::kEndlessKeepalive) {
        RecordLocked(message.payload, {});
        stalledChannel_ = message.channel;
        nextStallKeepaliveMs_ = clock_.NowMs();
        return;
    }
    CommandResult result = Dispatch(context_, message.payload);
    if (!result.wait) {
        FinishLocked(message.channel, std::move(result.response), message.payload);
        return;
    }
    const std::int64_t now = clock_.NowMs();
    sensor_.BeginWait(now);
    PendingWait pending;
    pending.channel = message.channel;
    pending.deadlineMs = now + result.wait->timeoutMs;
    pending.nextKeepaliveMs = now;  // the first keep-alive goes out at once
    pending.wait = std::move(*result.wait);
    pending.request = std::move(message.payload);
    pending_ = std::move(pending);
    engine_.SetBusyChannel(message.channel);
}

void VirtualKey::FinishLocked(std::uint32_t channel, Bytes response, const Bytes& request) {
    if (faults_.malformedNextResponse) {
        faults_.malformedNextResponse = false;
        Malform(response);
    }
    if (hostility_ != Hostility::kNone) {
        response = HostileAnswer(hostility_, request, std::move(response),
                                 IsApduRequest(config_, request));
        RecordLocked(request, response);
        for (const Packet& packet : HostileFrames(hostility_, channel, response)) {
            engine_.QueuePacket(packet);
        }
        return;
    }
    RecordLocked(request, response);
    if (faults_.loseNextAnswer) {
        faults_.loseNextAnswer = false;
        return;
    }
    engine_.SendResponse(channel, HidCommand::kCbor, response);
}

void VirtualKey::RecordLocked(const Bytes& request, const Bytes& response) {
    HistoryEntry entry;
    entry.timeMs = clock_.NowMs();
    entry.request = request;
    if (response.size() >= 2 && IsApduRequest(config_, request)) {
        entry.status = StatusWordOf(response);
    } else if (!response.empty()) {
        entry.status = response[0];
    }
    if (state_.history.size() >= kMaxHistory) {
        state_.history.erase(state_.history.begin());
    }
    state_.history.push_back(std::move(entry));
}

void VirtualKey::PlaceFinger(int finger) {
    {
        const std::lock_guard lock(mutex_);
        sensor_.Place(finger);
        if (plugged_) {
            ServiceLocked();
        }
    }
    outputReady_.notify_all();
}

void VirtualKey::LiftFinger() {
    const std::lock_guard lock(mutex_);
    sensor_.Lift();
}

std::optional<int> VirtualKey::fingerOnSensor() const {
    const std::lock_guard lock(mutex_);
    return sensor_.finger();
}

void VirtualKey::SetAutoTouch(std::optional<AutoTouch> autoTouch) {
    const std::lock_guard lock(mutex_);
    sensor_.SetAutoTouch(autoTouch);
}

void VirtualKey::InjectFault(Fault fault) {
    const std::lock_guard lock(mutex_);
    InjectFaultLocked(fault);
}

void VirtualKey::InjectFaultAt(std::uint64_t requestIndex, Fault fault) {
    const std::lock_guard lock(mutex_);
    armedFault_ = ArmedFault{engine_.messagesTaken() + requestIndex + 1, fault};
}

void VirtualKey::InjectFaultLocked(Fault fault) {
    switch (fault) {
        case Fault::kMalformedNextResponse:
            faults_.malformedNextResponse = true;
            break;
        case Fault::kFailNextSample:
            faults_.failNextSample = true;
            break;
        case Fault::kNeverAnswerNext:
            faults_.neverAnswerNext = true;
            break;
        case Fault::kLoseNextAnswer:
            faults_.loseNextAnswer = true;
            break;
    }
}

void VirtualKey::SetHostility(Hostility hostility) {
    const std::lock_guard lock(mutex_);
    hostility_ = hostility;
    stalledChannel_.reset();
}

State VirtualKey::SnapshotState() const {
    const std::lock_guard lock(mutex_);
    return state_;
}

void VirtualKey::EditState(const std::function<void(State&)>& edit) {
    const std::lock_guard lock(mutex_);
    edit(state_);
}

bool VirtualKey::waitingForUser() const {
    const std::lock_guard lock(mutex_);
    return pending_.has_value();
}

int VirtualKey::winkCount() const {
    const std::lock_guard lock(mutex_);
    return engine_.winkCount();
}

}  // namespace kelvora::vkey
