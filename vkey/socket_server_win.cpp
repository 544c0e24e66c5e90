// The Windows side of the daemon's channel: a pair of message-mode named pipes,
// \\.\pipe\NAME-out (the host's output reports, read here) and \\.\pipe\NAME-in (the key's
// input reports, written here), so that answers and keep-alives flow whenever the key has
// them. As with the socket, every message is one 64-byte CTAPHID packet; the peer opening
// both pipes is a plug-in and either pipe breaking an unplug. The test rig's HID driver is
// the peer.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "vkey/ctaphid_defs.h"
#include "vkey/socket_server.h"

namespace kelvora::vkey {
namespace {

constexpr DWORD kConnectPollMs = 100;
constexpr DWORD kConnectionPollMs = 5;  // the key's timers run at least this often
constexpr DWORD kWriteLimitMs = 2000;
constexpr ULONGLONG kHalfConnectedLimitMs = 3000;
constexpr DWORD kPipeBuffer = 64 * 256;
constexpr std::size_t kInitCommandOffset = 4;

volatile LONG gStopRequested = 0;

BOOL WINAPI RequestStop(DWORD /*event*/) {
    InterlockedExchange(&gStopRequested, 1);
    return TRUE;
}

class Event {
  public:
    Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

HANDLE MakePipe(const std::string& name, DWORD direction) {
    const std::string path = "\\\\.\\pipe\\" + name;
    return CreateNamedPipeA(path.c_str(), direction | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, kPipeBuffer,
                            kPipeBuffer, 0, nullptr);
}

// One pipe waiting for its peer.
class Listener {
  public:
    explicit Listener(HANDLE pipe) : pipe_(pipe) {}
    ~Listener() { Cancel(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    HANDLE event() const { return event_.get(); }
    bool connected() const { return connected_; }

    // Starts listening anew; false when the pipe is unusable.
    bool Start() {
        Cancel();
        DisconnectNamedPipe(pipe_);
        overlapped_ = {};
        overlapped_.hEvent = event_.get();
        ResetEvent(event_.get());
        connected_ = false;
        pending_ = false;
        if (ConnectNamedPipe(pipe_, &overlapped_)) {
            connected_ = true;
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            connected_ = true;
            return true;
        }
        pending_ = error == ERROR_IO_PENDING;
        return pending_;
    }

    // Notes a completed connection.
    void Check() {
        DWORD bytes = 0;
        if (pending_ && GetOverlappedResult(pipe_, &overlapped_, &bytes, FALSE)) {
            pending_ = false;
            connected_ = true;
        }
    }

  private:
    void Cancel() {
        if (pending_) {
            CancelIoEx(pipe_, &overlapped_);
            DWORD bytes = 0;
            GetOverlappedResult(pipe_, &overlapped_, &bytes, TRUE);
            pending_ = false;
        }
    }

    HANDLE pipe_;
    Event event_;
    OVERLAPPED overlapped_ = {};
    bool connected_ = false;
    bool pending_ = false;
};

// Waits until a peer holds both pipes; false when a stop was requested first. Both listen
// at once, and a peer that opened one pipe but not the other in time is dropped, so that a
// peer that gave up half-way (a driver unloaded between its two opens) cannot leave the
// daemon waiting for ever on the other pipe.
bool AwaitPeer(HANDLE input, HANDLE output) {
    Listener listeners[2] = {Listener(input), Listener(output)};
    ULONGLONG halfSince = 0;
    if (!listeners[0].Start() || !listeners[1].Start()) {
        return false;
    }
    while (gStopRequested == 0) {
        const HANDLE events[2] = {listeners[0].event(), listeners[1].event()};
        WaitForMultipleObjects(2, events, FALSE, kConnectPollMs);
        listeners[0].Check();
        listeners[1].Check();
        const int connected = int{listeners[0].connected()} + int{listeners[1].connected()};
        if (connected == 2) {
            return true;
        }
        if (connected == 0) {
            halfSince = 0;
            continue;
        }
        const ULONGLONG now = GetTickCount64();
        if (halfSince == 0) {
            halfSince = now;
        } else if (now - halfSince > kHalfConnectedLimitMs) {
            halfSince = 0;
            for (Listener& listener : listeners) {
                if (listener.connected() && !listener.Start()) {
                    return false;
                }
            }
        }
    }
    return false;
}

bool WritePacket(HANDLE pipe, HANDLE event, const Packet& packet) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    ResetEvent(event);
    DWORD written = 0;
    if (!WriteFile(pipe, packet.data(), static_cast<DWORD>(packet.size()), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    if (WaitForSingleObject(event, kWriteLimitMs) != WAIT_OBJECT_0) {
        CancelIoEx(pipe, &overlapped);
    }
    return GetOverlappedResult(pipe, &overlapped, &written, TRUE) && written == packet.size();
}

// Sends what the key has queued; false when the peer is gone.
bool Drain(VirtualKey& key, HANDLE pipe, HANDLE event, const ServerHooks& hooks) {
    bool responded = false;
    while (std::optional<Packet> packet = key.TryReadPacket()) {
        if (!WritePacket(pipe, event, *packet)) {
            return false;
        }
        responded = responded ||
                    (*packet)[kInitCommandOffset] == static_cast<std::uint8_t>(HidCommand::kCbor);
    }
    if (responded && hooks.onActivity) {
        hooks.onActivity();
    }
    return true;
}

void ServeConnection(VirtualKey& key, HANDLE input, HANDLE output, const ServerHooks& hooks) {
    Event readEvent;
    Event writeEvent;
    key.Plug();
    std::uint8_t packet[kPacketSize + 1];
    OVERLAPPED overlapped = {};
    bool reading = false;
    while (gStopRequested == 0) {
        if (!reading) {
            overlapped = {};
            overlapped.hEvent = readEvent.get();
            ResetEvent(readEvent.get());
            if (!ReadFile(output, packet, sizeof packet, nullptr, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING && GetLastError() != ERROR_MORE_DATA) {
                break;
            }
            reading = true;
        }
        if (WaitForSingleObject(readEvent.get(), kConnectionPollMs) == WAIT_OBJECT_0) {
            reading = false;
            DWORD received = 0;
            if (GetOverlappedResult(output, &overlapped, &received, FALSE)) {
                if (received == kPacketSize) {
                    std::uint8_t exact[kPacketSize];
                    std::memcpy(exact, packet, kPacketSize);
                    key.WritePacket(exact);
                }
                // Messages of any other size are not packets; they are dropped.
            } else if (GetLastError() != ERROR_MORE_DATA) {
                break;
            }
        }
        if (!Drain(key, input, writeEvent.get(), hooks)) {
            break;
        }
    }
    if (reading) {
        CancelIoEx(output, &overlapped);
        DWORD bytes = 0;
        GetOverlappedResult(output, &overlapped, &bytes, TRUE);
    }
    key.Unplug();
    if (hooks.onActivity) {
        hooks.onActivity();
    }
}

}  // namespace

int ServeOnSocket(VirtualKey& key, const std::string& path, const ServerHooks& hooks,
                  std::string& error) {
    SetConsoleCtrlHandler(RequestStop, TRUE);
    HANDLE input = MakePipe(path + "-in", PIPE_ACCESS_OUTBOUND);
    HANDLE output = MakePipe(path + "-out", PIPE_ACCESS_INBOUND);
    if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) {
        error = "cannot create the pipes \\\\.\\pipe\\" + path + "-in/-out (error " +
                std::to_string(GetLastError()) + ")";
        if (input != INVALID_HANDLE_VALUE) {
            CloseHandle(input);
        }
        if (output != INVALID_HANDLE_VALUE) {
            CloseHandle(output);
        }
        return 1;
    }
    // Whoever starts the daemon waits for this line before plugging the key in.
    (void)std::printf("kelvora-vkey: serving \\\\.\\pipe\\%s-in/-out\n", path.c_str());
    (void)std::fflush(stdout);
    while (gStopRequested == 0) {
        if (AwaitPeer(input, output)) {
            ServeConnection(key, input, output, hooks);
        } else {
            Sleep(kConnectPollMs);
        }
    }
    CloseHandle(input);
    CloseHandle(output);
    return 0;
}

}  // namespace kelvora::vkey
