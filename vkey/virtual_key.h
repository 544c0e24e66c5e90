// An in-process simulated key of any supported model: the CTAPHID framing, the CTAP2
// commands and the legacy APDUs, a sensor driven by tests or by an auto-touch mode, and a
// clock that can be injected.
//
// Thread-safety: every public member may be called from any thread. The host side writes
// packets and blocks in ReadPacket; a test thread moves the sensor or the clock; the UI
// thread may Unplug, which wakes every blocked reader with kRemoved and then calls the
// observers (outside the key's lock, so an observer may call back into the key). A removal
// armed with UnplugBeforeRequest happens on the host's writing thread instead, the same way.
//
// Plug-ins are numbered. A host connection remembers the number it was opened under and
// passes it to the packet calls, which then fail once that plug-in has ended, even if the
// key was plugged in again before the host noticed: a re-plugged key needs a new connection.
//
// Timing: waits for a finger are measured on the injected clock. A blocked reader re-checks
// the clock every few real milliseconds, so a test that advances a ManualClock sees the
// key's keep-alives and time-outs without sleeping through them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "vkey/bytes.h"
#include "vkey/clock.h"
#include "vkey/config.h"
#include "vkey/ctaphid_engine.h"
#include "vkey/key_context.h"
#include "vkey/sensor.h"
#include "vkey/state.h"

namespace kelvora::vkey {

// kLoseNextAnswer: the key acts on the next request but its answer never leaves it, as
// when the answer is lost on the way; kNeverAnswerNext drops the request unprocessed.
enum class Fault { kMalformedNextResponse, kFailNextSample, kNeverAnswerNext, kLoseNextAnswer };

class VirtualKey {
  public:
    // `clock` must outlive the key. The key starts unplugged.
    VirtualKey(const Config& config, const Clock& clock, State initial = {});
    ~VirtualKey();
    VirtualKey(const VirtualKey&) = delete;
    VirtualKey& operator=(const VirtualKey&) = delete;

    // --- USB ---
    void Plug();
    void Unplug();
    bool plugged() const;
    // The number of the current plug-in, counting from 1; kNotPlugged while unplugged.
    std::uint64_t plugIn() const;
    void SetRemovalObserver(std::function<void()> observer);

    // Called with the new state after every plug-in and every removal, in the order they
    // happened, outside the key's lock. An observer must not plug, unplug, or add or remove
    // observers. RemovePlugObserver waits for a call in progress, so once it returns the
    // observer is never called again.
    using PlugObserver = std::function<void(bool plugged)>;
    int AddPlugObserver(PlugObserver observer);
    void RemovePlugObserver(int id);

    // --- removal at a chosen exchange ---
    // Request messages the key has taken in full since it was made, across plug-ins: every
    // INIT, PING, WINK, CBOR (CTAP command or legacy APDU) and CANCEL message whose last
    // packet arrived. Packets lost while the key settles and requests refused at their first
    // packet do not count. A test learns how many exchanges an operation has from the
    // difference before and after running it once.
    std::uint64_t requestCount() const;
    // Arms a one-shot removal: the key is pulled out just before it answers the request
    // message with 0-based index `index` counted from this call (0 = the next request
    // message, 1 = the one after), across plug-ins. That message is dropped unprocessed: a
    // command it carried never runs. The removal is an Unplug() in every respect — blocked
    // readers wake with kRemoved, the plug-in ends, the removal and plug observers are
    // called — and it happens on the thread whose WritePacket() delivered the last packet
    // of that message, after the key's lock is released, before WritePacket() returns
    // (true: the packet itself was delivered). Host reads and writes of that plug-in fail
    // from the moment the message is complete, before the observers run. As that thread is
    // usually a worker of the host, an observer must not wait for it (post, do not block).
    // Arming again replaces the trigger. Typical use:
    //     const auto before = key.requestCount();  run the operation;
    //     const auto exchanges = key.requestCount() - before;
    //     for k in [0, exchanges): fresh key, key.UnplugBeforeRequest(k), run it again.
    void UnplugBeforeRequest(std::uint64_t index);
    void DisarmUnplug();

    // --- host side: one 64-byte CTAPHID packet each way (no report id) ---
    // `plugIn` is the plug-in the host opened the key under, or kAnyPlugIn for whichever is
    // current. False when the key is not plugged in or that plug-in has ended.
    static constexpr std::uint64_t kNotPlugged = 0;
    static constexpr std::uint64_t kAnyPlugIn = 0;
    bool WritePacket(const std::uint8_t (&packet)[kPacketSize], std::uint64_t plugIn = kAnyPlugIn);
    enum class ReadResult { kPacket, kTimedOut, kRemoved };
    // Blocks until a packet is ready, the key (or that plug-in) is gone, or `realTimeoutMs`
    // of real time passed (never, when negative).
    ReadResult ReadPacket(Packet& out, std::int64_t realTimeoutMs = -1,
                          std::uint64_t plugIn = kAnyPlugIn);
    // Runs the key's timers and returns a packet if one is ready, without blocking.
    std::optional<Packet> TryReadPacket(std::uint64_t plugIn = kAnyPlugIn);
    // Runs the key's timers: keep-alives, finger waits, message time-outs.
    void Service();

    // --- sensor ---
    void PlaceFinger(int finger);
    void LiftFinger();
    void SetAutoTouch(std::optional<AutoTouch> autoTouch);
    // The finger lying on the sensor, if any (auto-touch lays none there).
    std::optional<int> fingerOnSensor() const;

    // --- faults, state ---
    void InjectFault(Fault fault);
    // Injects `fault` just before the key takes the request message with 0-based index
    // `requestIndex` counted from this call, as UnplugBeforeRequest counts. Arming again
    // replaces the trigger.
    void InjectFaultAt(std::uint64_t requestIndex, Fault fault);
    // Every answer from now on misbehaves this way (see vkey/hostile.h).
    void SetHostility(Hostility hostility);
    State SnapshotState() const;
    void EditState(const std::function<void(State&)>& edit);
    const Config& config() const { return config_; }
    // True while a command waits for a finger or a touch.
    bool waitingForUser() const;
    int winkCount() const;

  private:
    struct PendingWait {
        std::uint32_t channel = 0;
        std::int64_t deadlineMs = 0;
        std::int64_t nextKeepaliveMs = 0;
        bool cancelled = false;
        FingerWait wait;
        Bytes request;
    };

    bool ConnectedLocked(std::uint64_t plugIn) const;
    void InjectFaultLocked(Fault fault);
    // Ends plug-in `plugIn` (any, when kAnyPlugIn) and tells the observers.
    void EndPlugIn(std::uint64_t plugIn);
    void NotifyPlugObservers(bool plugged);
    void ServiceLocked();
    void HandleMessageLocked(HidMessage message);
    void FinishLocked(std::uint32_t channel, Bytes response, const Bytes& request);
    void RecordLocked(const Bytes& request, const Bytes& response);

    const Config config_;
    const Clock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable outputReady_;
    bool plugged_ = false;
    std::uint64_t plugCount_ = 0;
    State state_;
    PlugSession session_;
    Sensor sensor_;
    Faults faults_;
    KeyContext context_;  // refers to the members above; handlers keep it in their waits
    CtaphidEngine engine_;
    std::optional<PendingWait> pending_;
    Hostility hostility_;
    // The channel a hostile key sends keep-alives to for ever, and when the next is due.
    std::optional<std::uint32_t> stalledChannel_;
    std::int64_t nextStallKeepaliveMs_ = 0;
    std::function<void()> removalObserver_;
    // A fault armed by InjectFaultAt: the messagesTaken() count that fires it.
    struct ArmedFault {
        std::uint64_t firesAt = 0;
        Fault fault = Fault::kMalformedNextResponse;
    };
    std::optional<ArmedFault> armedFault_;

    // Serialises plug-ins and removals with their observer calls, so that observers see
    // the changes in order; never taken while `mutex_` is held.
    std::mutex plugEventMutex_;
    std::map<int, PlugObserver> plugObservers_;  // guarded by plugEventMutex_
    int nextPlugObserverId_ = 1;                 // guarded by plugEventMutex_
};

}  // namespace kelvora::vkey
