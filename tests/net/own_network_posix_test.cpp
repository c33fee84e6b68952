// tests/net/own_network_posix_test.cpp: echoes and lookups in child processes with a network of their own.
#include "runtime/net/echo_backend.h"
#include "runtime/net/net.h"
#include "runtime/net/posix/icmp_echo.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace lum {
namespace {

// What a child reports through its exit code.
enum ChildResult : int { PASSED = 0, NO_NAMESPACE = 77, SETUP_FAILED = 78 };

constexpr std::int32_t LONG_TIMEOUT_MS = 5000;

// Runs `body` in a child process, so that the namespaces it enters leave this process alone; the
// child's exit code, or -1 when it could not be started or did not exit.
template <class Body> int exit_code_of_child(Body body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    if (child < 0) return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool bring_loopback_up() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

bool write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

// A network namespace with loopback up, entered by the calling (child) process; `more` adds namespaces.
int enter_own_network(int more = 0) {
    if (::unshare(CLONE_NEWNET | more) != 0) return NO_NAMESPACE;
    return bring_loopback_up() ? PASSED : SETUP_FAILED;
}

void expect_passed_or_skip(int code) {
    if (code == NO_NAMESPACE) GTEST_SKIP() << "no namespaces of our own here (the tests need root)";
    EXPECT_EQ(code, PASSED);
}

// A new network namespace admits no group to datagram ICMP sockets; this one admits every group.
TEST(OwnNetwork, DatagramSocketEchoWhereTheSystemAllowsIt) {
    expect_passed_or_skip(exit_code_of_child([] {
        if (const int entered = enter_own_network(); entered != PASSED) return entered;
        if (!write_file("/proc/sys/net/ipv4/ping_group_range", "0 2147483647")) return int{SETUP_FAILED};
        return send_echo_through(IcmpSocketKind::datagram, ip_from_bytes(127, 0, 0, 1), ECHO_PAYLOAD,
                                 LONG_TIMEOUT_MS) >= 0
                   ? int{PASSED}
                   : 1;
    }));
}

// The first address cannot answer in a network of loopback only, so an echo sent to any address but
// the last one fails. The lookup must keep the hosts file's order, not sort the reachable ones first.
TEST(OwnNetwork, NameWithSeveralAddressesIsEchoedAtTheLastOneListed) {
    const testing_support::ScratchFolder folder;
    const std::string hosts = (folder.path() / "hosts").string();
    ASSERT_TRUE(write_file(hosts, "127.0.0.1 localhost\n192.0.2.1 several.lumora.test\n"
                                  "127.0.0.2 several.lumora.test\n127.0.0.7 several.lumora.test\n"));
    expect_passed_or_skip(exit_code_of_child([&hosts] {
        if (const int entered = enter_own_network(CLONE_NEWNS); entered != PASSED) return entered;
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
            return int{SETUP_FAILED};
        if (resolve_host_text("several.lumora.test") != "127.0.0.7") return 1;
        return echo_host_timed("several.lumora.test", LONG_TIMEOUT_MS) >= 0 ? int{PASSED} : 2;
    }));
}

} // namespace
} // namespace lum
