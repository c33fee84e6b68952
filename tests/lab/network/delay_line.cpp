// tests/lab/network/delay_line.cpp: a line that takes time to cross: two tun devices, each packet handed from one to
// the other a fixed time later.
//
//   lab_delay_line NEAR FAR_NETNS FAR ONE_WAY_MICROSECONDS
//
// Makes the tun device NEAR in this network namespace and FAR in the namespace FAR_NETNS names (a path such
// as /run/netns/results), brings neither up (the caller gives them their addresses and routes), and then
// until it is ended passes every packet either sends to the other end after ONE_WAY_MICROSECONDS. This
// kernel has no delaying queue of its own here, so the delay is made here: both directions, every packet
// (handshakes and acknowledgements too), in order. A direction holding more than MAX_QUEUED packets drops
// what comes next, as a full queue on a real line would.
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t MAX_QUEUED = 100000;
constexpr std::size_t LARGEST_PACKET = 65536;

class Fd {
public:
    // WHAT names the file in the error when it could not be opened.
    Fd(int fd, const std::string& what) : fd_(fd) {
        if (fd_ < 0) throw std::runtime_error(what + ": " + std::strerror(errno));
    }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A tun device of this name in the current network namespace, read without waiting.
Fd open_tun(const std::string& name) {
    Fd tun(open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC), "/dev/net/tun");
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::snprintf(request.ifr_name, IFNAMSIZ, "%s", name.c_str());
    if (ioctl(tun.get(), TUNSETIFF, &request) != 0)
        throw std::runtime_error("tun " + name + ": " + std::strerror(errno));
    return tun;
}

// The device is made in the namespace the opening thread is in, so step into FAR_NETNS for it and back.
Fd open_tun_in(const std::string& netns, const std::string& name) {
    Fd home(open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC), "/proc/self/ns/net");
    Fd there(open(netns.c_str(), O_RDONLY | O_CLOEXEC), netns);
    if (setns(there.get(), CLONE_NEWNET) != 0) throw std::runtime_error(netns + ": " + std::strerror(errno));
    Fd tun = open_tun(name);
    if (setns(home.get(), CLONE_NEWNET) != 0) throw std::runtime_error(std::strerror(errno));
    return tun;
}

struct Packet {
    Clock::time_point due;
    std::vector<char> bytes;
};

// One direction: what `from` sends, queued until it is due at `to`.
struct Direction {
    int from;
    int to;
    std::deque<Packet> queued;

    void take_all(Clock::duration delay) {
        static char buffer[LARGEST_PACKET];
        for (;;) {
            const ssize_t got = read(from, buffer, sizeof(buffer));
            if (got <= 0) return;
            if (queued.size() < MAX_QUEUED) queued.push_back({Clock::now() + delay, {buffer, buffer + got}});
        }
    }

    // A packet the far device refuses is lost, as on a line.
    void hand_on_due(Clock::time_point now) {
        while (!queued.empty() && queued.front().due <= now) {
            const std::vector<char>& bytes = queued.front().bytes;
            [[maybe_unused]] const ssize_t put = write(to, bytes.data(), bytes.size());
            queued.pop_front();
        }
    }
};

timespec until(Clock::time_point due, Clock::time_point now) {
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(due - now).count();
    return {static_cast<time_t>(wait / 1000000000), static_cast<long>(wait % 1000000000)};
}

[[noreturn]] void carry(int near, int far, Clock::duration delay) {
    Direction directions[] = {{near, far, {}}, {far, near, {}}};
    pollfd waits[] = {{near, POLLIN, 0}, {far, POLLIN, 0}};
    for (;;) {
        Clock::time_point next = Clock::time_point::max();
        for (const Direction& direction : directions)
            if (!direction.queued.empty() && direction.queued.front().due < next) next = direction.queued.front().due;
        const Clock::time_point now = Clock::now();
        const timespec wait = next == Clock::time_point::max() ? timespec{3600, 0} : until(std::max(next, now), now);
        if (ppoll(waits, 2, &wait, nullptr) < 0 && errno != EINTR) throw std::runtime_error(std::strerror(errno));
        for (Direction& direction : directions)
            direction.take_all(delay);
        const Clock::time_point after = Clock::now();
        for (Direction& direction : directions)
            direction.hand_on_due(after);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: lab_delay_line NEAR FAR_NETNS FAR ONE_WAY_MICROSECONDS\n");
        return 2;
    }
    const std::string_view one_way = argv[4];
    long microseconds = -1;
    const auto [end, problem] = std::from_chars(one_way.data(), one_way.data() + one_way.size(), microseconds);
    if (problem != std::errc() || end != one_way.data() + one_way.size() || microseconds < 0) {
        std::fprintf(stderr, "lab_delay_line: %s is not a whole number of microseconds\n", argv[4]);
        return 2;
    }
    try {
        const Fd near = open_tun(argv[1]);
        const Fd far = open_tun_in(argv[2], argv[3]);
        carry(near.get(), far.get(), std::chrono::microseconds(microseconds));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lab_delay_line: %s\n", error.what());
        return 1;
    }
}
