// The daemon's socket watched as a USB port is: appearing, going away and being replaced by a
// restarted daemon are told as arrivals and removals.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <thread>

#include "app/daemon_key_watch_linux.h"

namespace kelvora::test {
namespace {

// A listening socket at `path`, as a daemon binds it; -1 on failure.
int Listen(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 1) != 0) {
        return -1;
    }
    return fd;
}

TEST(DaemonKeyWatcher, SocketComingAndGoingIsArrivalAndRemoval) {
    using enum DaemonChange;
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("vkey.sock")).toStdString();
    std::vector<DaemonChange> heard;
    DaemonKeyWatcher watcher(path, path + "#vid_4b56&pid_2B03",
                             [&](DaemonChange change, const std::string& interfacePath) {
                                 EXPECT_EQ(interfacePath, path + "#vid_4b56&pid_2B03");
                                 heard.push_back(change);
                             });
    int daemon = -1;
    const auto start = [&] { ASSERT_GE(daemon = Listen(path), 0); };
    const auto stop = [&] {
        ::close(daemon);
        ::unlink(path.c_str());
    };
    struct Step {
        const char* name;
        std::function<void()> act;
        std::vector<DaemonChange> expected;
    };
    const Step steps[] = {
        {"nothing yet", [] {}, {}},
        {"daemon started", start, {kArrival}},
        {"still there", [] {}, {}},
        // A daemon takes longer than the clock that stamps files needs to move on.
        {"daemon restarted",
         [&] {
             stop();
             std::this_thread::sleep_for(std::chrono::milliseconds(20));
             start();
         },
         {kRemoval, kArrival}},
        {"daemon stopped", stop, {kRemoval}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        heard.clear();
        step.act();
        watcher.Poll();
        EXPECT_EQ(heard, step.expected);
    }
}

}  // namespace
}  // namespace kelvora::test
