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

// Waits for a peer on `pipe`; false when a stop was requested first.
bool AwaitPeer(HANDLE pipe, HANDLE event) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    ResetEvent(event);
    if (ConnectNamedPipe(pipe, &overlapped)) {
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED) {
        return true;
    }
    if (error != ERROR_IO_PENDING) {
        return false;
    }
    while (WaitForSingleObject(event, kConnectPollMs) == WAIT_TIMEOUT) {
        if (gStopRequested != 0) {
            CancelIoEx(pipe, &overlapped);
            DWORD bytes = 0;
            GetOverlappedResult(pipe, &overlapped, &bytes, TRUE);
            return false;
        }
    }
    DWORD bytes = 0;
    return GetOverlappedResult(pipe, &overlapped, &bytes, FALSE) != FALSE;
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
    Event event;
    while (gStopRequested == 0) {
        if (AwaitPeer(input, event.get()) && AwaitPeer(output, event.get())) {
            ServeConnection(key, input, output, hooks);
        }
        DisconnectNamedPipe(input);
        DisconnectNamedPipe(output);
    }
    CloseHandle(input);
    CloseHandle(output);
    return 0;
}

}  // namespace kelvora::vkey
