// server/web/local_time.cpp: the C library's zone rules (TZ, /etc/localtime), set once and then only read.
#include "server/web/local_time.h"

#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace lumresults {
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

std::chrono::year_month_day local_date(Clock::time_point time) {
    const std::time_t seconds = Clock::to_time_t(time);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(time)};
    return std::chrono::year{local.tm_year + 1900} / std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)} /
           std::chrono::day{static_cast<unsigned>(local.tm_mday)};
}

std::optional<Clock::time_point> local_instant(std::chrono::year_month_day date, std::chrono::minutes time_of_day) {
    std::tm local{};
    local.tm_year = static_cast<int>(date.year()) - 1900;
    local.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    local.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    local.tm_hour = static_cast<int>(time_of_day.count() / 60);
    local.tm_min = static_cast<int>(time_of_day.count() % 60);
    local.tm_isdst = -1; // the zone's rules say whether summer time holds then
    // A whole minute is never the second before 1970 that -1 would also name.
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return Clock::from_time_t(seconds);
}

} // namespace lumresults
