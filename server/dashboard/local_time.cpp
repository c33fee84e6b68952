// server/dashboard/local_time.cpp: the C library's zone rules (TZ, /etc/localtime), set once and then only read.
#include "server/dashboard/local_time.h"

#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace lumresults::dashboard {
namespace {

constexpr std::string_view ZONES = "/usr/share/zoneinfo/";

std::string chosen_zone;

// What /etc/localtime points at, below the zone folder; the machine's zone has no other name.
std::string machine_zone() {
    std::error_code failed;
    const std::string target = std::filesystem::read_symlink("/etc/localtime", failed).string();
    const std::size_t at = target.find(ZONES);
    return failed || at == std::string::npos ? std::string("UTC") : target.substr(at + ZONES.size());
}

} // namespace

void use_time_zone(const std::string& name) {
    const bool plain = !name.empty() && name.front() != '/' && name.find("..") == std::string::npos;
    if (!plain || !std::filesystem::is_regular_file(std::string(ZONES) + name))
        throw std::runtime_error("--time-zone: no such time zone: " + name + " (an IANA name such as Europe/Prague)");
    setenv("TZ", name.c_str(), 1);
    tzset();
    chosen_zone = name;
}

const std::string& time_zone_name() {
    static const std::string machine = machine_zone();
    return chosen_zone.empty() ? machine : chosen_zone;
}

std::string local_time_text(Clock::time_point time) {
    const std::time_t seconds = Clock::to_time_t(time);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return "?";
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local);
    return text;
}

} // namespace lumresults::dashboard
