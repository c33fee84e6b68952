// tests/lab/scenario_files.cpp: the scenario folder's small formats, read and expanded.
#include "scenario_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace lum::lab {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int32_t color_named(const std::string& name) {
    if (name == "green") return 0x008000;
    if (name == "red") return 0x000080;
    if (name == "blue") return 0x800000;
    return -1;
}

std::string rest_of(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    return rest;
}

std::vector<std::string> non_empty_lines(const fs::path& file, std::size_t limit) {
    std::vector<std::string> lines;
    for (const std::string& line : split_lines(contents(file))) {
        if (lines.size() == limit) break;
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

} // namespace

std::vector<std::string> split_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ++at;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

ScenarioSettings read_settings(const fs::path& file) {
    ScenarioSettings settings;
    for (const std::string& line : split_lines(contents(file))) {
        std::istringstream in(line);
        std::string name;
        in >> name;
        if (name == "public-ip") in >> settings.public_ip;
        if (name == "skip-multicast-a") in >> settings.skip_multicast_a;
        if (name == "skip-multicast-b") in >> settings.skip_multicast_b;
        if (name == "temp-with-space") settings.temp_with_space = true;
        if (name == "temp-name") settings.temp_name = rest_of(in);
        if (name == "hosts-directory") settings.hosts_directory = true;
        if (name == "tool-limit-ms") in >> settings.limits.ToolMs;
        if (name == "download-limit-ms") in >> settings.limits.DownloadMs;
        for (std::string tool; name == "missing" && in >> tool;)
            settings.missing.push_back(tool);
    }
    return settings;
}

std::vector<ExpectedRow> read_rows(const fs::path& file) {
    std::vector<ExpectedRow> rows;
    for (const std::string& line : split_lines(contents(file))) {
        std::istringstream in(line);
        ExpectedRow row;
        std::string state;
        if (!(in >> row.row >> state)) continue;
        row.present = state != "absent";
        row.color = color_named(state);
        row.text = rest_of(in);
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> expected_report(const fs::path& template_file, const fs::path& scenario_data) {
    std::vector<std::string> report;
    for (const std::string& line : split_lines(contents(template_file))) {
        std::istringstream in(line);
        std::string directive;
        std::string file;
        in >> directive >> file;
        std::vector<std::string> included;
        if (directive == "@part") {
            included = expected_report(scenario_data / ("part-" + file + ".txt"), scenario_data);
        } else if (directive == "@tool") {
            std::size_t limit = 0;
            if (!(in >> limit)) limit = static_cast<std::size_t>(-1);
            included = non_empty_lines(scenario_data / file, limit);
        } else {
            included.push_back(line);
        }
        report.insert(report.end(), included.begin(), included.end());
    }
    return report;
}

std::vector<std::string> read_expected_journal(const fs::path& file) {
    std::vector<std::string> calls;
    for (const std::string& line : split_lines(contents(file))) {
        if (!line.empty() && line.front() != '#') calls.push_back(line);
    }
    order_concurrent_calls(calls);
    return calls;
}

std::vector<std::string> read_journal(const fs::path& file, const std::string& folder,
                                      std::vector<std::string>& wrong_folders) {
    std::vector<std::string> calls;
    for (const std::string& line : split_lines(contents(file))) {
        const std::size_t first_tab = line.find('\t');
        const std::size_t second_tab = line.find('\t', first_tab + 1);
        if (first_tab == std::string::npos || second_tab == std::string::npos) continue;
        const std::string tool = line.substr(0, first_tab);
        const std::string ran_in = line.substr(first_tab + 1, second_tab - first_tab - 1);
        std::error_code error;
        if (ran_in != folder && !fs::equivalent(fs::path(ran_in), fs::path(folder), error))
            wrong_folders.push_back(line);
        std::string arguments = line.substr(second_tab + 1);
        const std::string& spelled = folder;
        // The expected journals are written as on Windows: the separator after the folder is "\\".
        for (std::size_t at = arguments.find(spelled); at != std::string::npos; at = arguments.find(spelled, at)) {
            const bool slash = at + spelled.size() < arguments.size() && arguments[at + spelled.size()] == '/';
            arguments.replace(at, spelled.size() + (slash ? 1 : 0), slash ? "{TEMP}\\" : "{TEMP}");
        }
        calls.push_back(arguments.empty() ? tool : tool + " " + arguments);
    }
    order_concurrent_calls(calls);
    return calls;
}

void order_concurrent_calls(std::vector<std::string>& calls) {
    const auto is_receiver = [](const std::string& call) { return call.rfind("mcfirst", 0) == 0; };
    const auto first = std::find_if(calls.begin(), calls.end(), is_receiver);
    if (first == calls.end()) return;
    const std::size_t at = static_cast<std::size_t>(first - calls.begin());
    std::vector<std::string> receivers;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(receivers), is_receiver);
    calls.erase(std::remove_if(calls.begin(), calls.end(), is_receiver), calls.end());
    std::sort(receivers.begin(), receivers.end());
    calls.insert(calls.begin() + static_cast<std::ptrdiff_t>(at), receivers.begin(), receivers.end());
}

void merge_scenario(const fs::path& base, const fs::path& scenario, const fs::path& into) {
    fs::create_directories(into);
    for (const fs::path& from : {base, scenario}) {
        for (const auto& entry : fs::directory_iterator(from)) {
            if (!entry.is_regular_file()) continue; // a folder's own notes and sources, say
            const fs::path name = entry.path().filename();
            if (name.extension() == ".absent") {
                fs::remove(into / name.stem());
                continue;
            }
            fs::copy_file(entry.path(), into / name, fs::copy_options::overwrite_existing);
        }
    }
}

} // namespace lum::lab
