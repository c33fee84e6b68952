// tests/server/corpus_reports.h: the localized corpus's folders made into whole reports, with the code pages and
// phrases a reading of each must find.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/reports/report_reading.h"

namespace lum::corpus {

// The wired adapter, whose address line is the one that passes Test 1: the report keeps ipconfig's lines up to
// it, so its name, MAC and address (and DHCP where it comes before) are in the report.
struct ExpectedAdapter {
    std::string name;
    std::string mac;
    std::string ipv4;
};

// "ping FILE sent N received N lost N loss P [min N max N average N]": the statistics as printed.
struct ExpectedPing {
    std::string file;
    std::map<std::string, int> figures; // "sent", "received", "lost", "min", "max", "average"
};

struct CorpusReport {
    std::string language;                                     // the folder's name
    std::string bytes;                                        // the report, as the program writes it
    std::map<std::string, int> code_pages;                    // by the folder's file: "ping.1.out" 866
    std::vector<std::pair<std::string, std::string>> phrases; // file, UTF-8 text the decoding must show
    std::optional<ExpectedAdapter> adapter;
    std::string host_name; // as ipconfig prints it
    std::vector<ExpectedPing> pings;
};

// Every folder below `corpus`: its files over the lab's base scenario (below `scenarios`), written out as
// the passing run's report in `work`; the hosts lines and ipconfig's kept lines are the folder's own.
std::vector<CorpusReport> corpus_reports(const std::filesystem::path& corpus, const std::filesystem::path& scenarios,
                                         const std::filesystem::path& work);

// One section of a corpus report as read: the code page expected and the one found. A section of ASCII
// only is right for any code page that keeps ASCII as it is (all but UTF-16).
struct SectionResult {
    std::string file;
    int expected = 0;
    int found = 0;
    bool right = false;
};
std::vector<SectionResult> section_results(const CorpusReport& report, const reports::ReadReport& read);

// The corpus file a section of the read report came from ("nslookup.1.out" stands for all six lookups);
// empty for a tool the corpus does not localize.
std::string corpus_file_of(const reports::ReportSection& section);

} // namespace lum::corpus
