// tests/server/corpus_reports.cpp: reading the corpus's expected facts and writing each folder's report.
#include "corpus_reports.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "scenario_files.h"
#include "rules/test_names.h"

namespace lum::corpus {
namespace {

namespace fs = std::filesystem;

std::string file_bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The words of an expected.txt line; "quoted words" may hold blanks.
std::vector<std::string> words_of(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> std::ws && !in.eof()) {
        if (in.peek() == '"') {
            in.get();
            std::getline(in, word, '"');
        } else {
            in >> word;
        }
        words.push_back(word);
    }
    return words;
}

struct Facts {
    std::map<std::string, int> code_pages;
    std::vector<std::pair<std::string, std::string>> phrases;
    std::size_t ipconfig_lines = 13;
    std::optional<ExpectedAdapter> adapter;
    std::string host_name;
    std::vector<ExpectedPing> pings;
};

ExpectedPing ping_of(const std::vector<std::string>& words) {
    ExpectedPing ping{words[1], {}};
    for (std::size_t at = 2; at + 1 < words.size(); at += 2)
        ping.figures[words[at]] = std::stoi(words[at + 1]);
    return ping;
}

// "adapter heading H name N mac M ipv4 A ...": the words after each key.
std::optional<ExpectedAdapter> adapter_of(const std::vector<std::string>& words) {
    std::map<std::string, std::string> values;
    for (std::size_t at = 1; at + 1 < words.size(); at += 2)
        values[words[at]] = words[at + 1];
    if (!values.contains("ipv4")) return std::nullopt;
    return ExpectedAdapter{values["name"], values["mac"], values["ipv4"]};
}

Facts facts_of(const fs::path& expected) {
    Facts facts;
    std::ifstream in(expected);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> words = words_of(line);
        if (words.size() == 2 && words[0] == "host-name") facts.host_name = words[1];
        if (words.size() < 3 || words[0].starts_with('#')) continue;
        if (words[0] == "code-page") facts.code_pages[words[1]] = std::stoi(words[2]);
        if (words[0] == "phrase") facts.phrases.emplace_back(words[1], words[2]);
        if (words[0] == "report-lines" && words[1] == "ipconfig.out") facts.ipconfig_lines = std::stoul(words[2]);
        if (words[0] == "adapter" && !facts.adapter) facts.adapter = adapter_of(words);
        if (words[0] == "ping") facts.pings.push_back(ping_of(words));
    }
    return facts;
}

// The hosts lines as the report holds them: each line up to its LF (a CR before it dropped), those that
// begin with "#" left out. A UTF-16 file's lines are cut the same way, at its LF bytes.
std::vector<std::string> hosts_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.starts_with('#')) lines.push_back(line);
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

// The passing run's report of the merged folder, with the folder's ipconfig count and hosts lines.
std::string report_of(const fs::path& scenarios, const fs::path& merged, const Facts& facts) {
    std::ofstream(merged / "part-test1.txt")
        << "Test 1: Network Config\n@tool ipconfig.out " << facts.ipconfig_lines << "\n@part test1-dumps\n";
    std::vector<std::string> lines = lab::expected_report(scenarios / "all-pass" / "report.txt", merged);
    const auto hosts = std::find(lines.begin(), lines.end(), "hosts");
    const auto test2 = std::find(lines.begin(), lines.end(), std::string(test_name(2)));
    if (hosts != lines.end() && test2 != lines.end() && fs::exists(merged / "hosts")) {
        const std::vector<std::string> own = hosts_lines(file_bytes(merged / "hosts"));
        lines.erase(hosts + 1, test2 - 1);
        const auto at = std::find(lines.begin(), lines.end(), "hosts") + 1;
        lines.insert(at, own.begin(), own.end());
    }
    std::string report;
    for (const std::string& line : lines)
        report += line + "\r\n";
    return report;
}

} // namespace

// ipconfig's lines after the one that passed Test 1 are not in the report: its phrases there are left out.
void drop_phrases_not_kept(const fs::path& folder, Facts& facts) {
    std::ifstream source(folder / "source" / "ipconfig.out");
    std::string kept;
    std::size_t lines = 0;
    for (std::string line; lines < facts.ipconfig_lines && std::getline(source, line);)
        if (!line.empty()) {
            kept += line + "\n";
            ++lines;
        }
    std::erase_if(facts.phrases, [&](const auto& phrase) {
        return phrase.first == "ipconfig.out" && kept.find(phrase.second) == std::string::npos;
    });
}

std::vector<CorpusReport> corpus_reports(const fs::path& corpus, const fs::path& scenarios, const fs::path& work) {
    std::vector<CorpusReport> reports;
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(corpus))
        if (entry.is_directory()) folders.push_back(entry.path());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& folder : folders) {
        Facts facts = facts_of(folder / "expected.txt");
        drop_phrases_not_kept(folder, facts);
        const fs::path merged = work / folder.filename();
        lab::merge_scenario(scenarios / "base", folder, merged);
        reports.push_back({folder.filename().string(), report_of(scenarios, merged, facts), facts.code_pages,
                           facts.phrases, facts.adapter, facts.host_name, facts.pings});
    }
    return reports;
}

std::vector<SectionResult> section_results(const CorpusReport& report, const reports::ReadReport& read) {
    std::vector<SectionResult> results;
    for (const reports::ReportSection& section : read.sections) {
        const std::string file = corpus_file_of(section);
        if (file.empty()) continue;
        const auto expected = report.code_pages.find(file);
        const int wanted = expected == report.code_pages.end() ? reports::ASCII_ONLY : expected->second;
        const int found = section.code_page.code_page;
        const bool ascii_kept = wanted != reports::UTF16LE && found == reports::ASCII_ONLY;
        results.push_back({file, wanted, found, found == wanted || ascii_kept});
    }
    return results;
}

std::string corpus_file_of(const reports::ReportSection& section) {
    if (section.tool == "ping") return section.test == 2 ? "ping.1.out" : "ping.2.out";
    if (section.tool == "nslookup") return "nslookup.1.out";
    if (section.tool == "ipconfig" || section.tool == "route" || section.tool == "netstat")
        return std::string(section.tool) + ".out";
    if (section.tool == "hosts") return "hosts";
    return {};
}

} // namespace lum::corpus
