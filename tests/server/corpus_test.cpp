// tests/server/corpus_test.cpp: reports from Windows set to other languages are read in their own code pages.
#include <gtest/gtest.h>

#include "corpus_reports.h"
#include "server/dashboard/section_views.h"
#include "server/reports/computer_ids.h"
#include "server/reports/decoding/decoder.h"
#include "server/reports/section_code_pages.h"
#include "test_support.h"

namespace {

using namespace lum;

class CorpusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        work_ = new testing_support::ScratchFolder("lumresults_corpus_");
        reports_ =
            new std::vector<corpus::CorpusReport>(corpus::corpus_reports(LUM_CORPUS, LUM_LAB_SCENARIOS, work_->path()));
    }
    static void TearDownTestSuite() {
        delete reports_;
        delete work_;
    }
    static testing_support::ScratchFolder* work_;
    static std::vector<corpus::CorpusReport>* reports_;
};
testing_support::ScratchFolder* CorpusTest::work_ = nullptr;
std::vector<corpus::CorpusReport>* CorpusTest::reports_ = nullptr;

// Every section of ping or ipconfig output is right (the figures and adapters are read from them); of all
// sections, 95 % at least. The verdicts do not depend on the language: each report passes as the lab's does.
TEST_F(CorpusTest, SectionsAreReadInTheirCodePages) {
    ASSERT_GE(reports_->size(), 12u);
    std::size_t right = 0;
    std::size_t all = 0;
    for (const corpus::CorpusReport& report : *reports_) {
        const reports::ReadReport read = reports::read_report(report.bytes, "100.102.3.4");
        EXPECT_EQ(read.tests[0].verdict, reports::Verdict::Ok) << report.language; // the adapters are read
        for (const corpus::SectionResult& section : corpus::section_results(report, read)) {
            ++all;
            right += section.right ? 1 : 0;
            if (!section.right)
                std::printf("  %s %s: expected %d, found %d\n", report.language.c_str(), section.file.c_str(),
                            section.expected, section.found);
            if (section.file.starts_with("ping") || section.file == "ipconfig.out") {
                EXPECT_TRUE(section.right) << report.language << " " << section.file << ": expected "
                                           << section.expected << ", found " << section.found;
            }
        }
    }
    EXPECT_GE(right * 100, all * 95) << right << " of " << all << " sections right";
}

// The subscriber's words, decoded in the code page found, read as the sample says they were printed.
TEST_F(CorpusTest, TheSubscribersWordsAppearDecoded) {
    for (const corpus::CorpusReport& report : *reports_) {
        const reports::ReadReport read = reports::read_report(report.bytes, "100.102.3.4");
        for (const auto& [file, phrase] : report.phrases) {
            bool shown = false;
            bool in_report = false; // a tool the report did not reach (none, in a passing run) shows nothing
            for (const reports::ReportSection& section : read.sections) {
                if (corpus::corpus_file_of(section) != file) continue;
                in_report = true;
                const reports::CodePage* page = reports::find_code_page(section.code_page.code_page);
                const std::string_view bytes(report.bytes.data() + section.bytes.begin,
                                             section.bytes.end - section.bytes.begin);
                const std::string text = page != nullptr ? reports::decoded_text(bytes, *page) : std::string(bytes);
                shown = shown || text.find(phrase) != std::string::npos;
            }
            if (in_report) {
                EXPECT_TRUE(shown) << report.language << " " << file << ": " << phrase;
            }
        }
    }
}

// Whatever the language of its labels, the wired adapter is in the table with its name, MAC and address, and
// the computer is known by that MAC and its name.
TEST_F(CorpusTest, TheAdapterTableIsFilledInEveryLanguage) {
    for (const corpus::CorpusReport& report : *reports_) {
        ASSERT_TRUE(report.adapter) << report.language;
        const reports::ReadReport read = reports::read_report(report.bytes, "100.102.3.4");
        const auto found = std::find_if(read.adapters.begin(), read.adapters.end(),
                                        [&](const reports::Adapter& a) { return a.mac == report.adapter->mac; });
        ASSERT_NE(found, read.adapters.end()) << report.language << ": no adapter with " << report.adapter->mac;
        EXPECT_EQ(found->name, report.adapter->name) << report.language;
        EXPECT_EQ(found->ipv4, std::vector<std::string>{report.adapter->ipv4}) << report.language;
        EXPECT_EQ(read.host_name, report.host_name) << report.language;
        const reports::ComputerIds computer = reports::computer_ids(read);
        EXPECT_EQ(computer.host_name, report.host_name) << report.language;
        EXPECT_NE(std::find(computer.macs.begin(), computer.macs.end(), report.adapter->mac), computer.macs.end())
            << report.language;
    }
}

// Ping's statistics, whatever words and line breaks the language gives them.
TEST_F(CorpusTest, PingsOwnStatisticsAreReadInEveryLanguage) {
    for (const corpus::CorpusReport& report : *reports_) {
        const reports::ReadReport read = reports::read_report(report.bytes, "100.102.3.4");
        for (const corpus::ExpectedPing& expected : report.pings) {
            const reports::TestReading& test = read.tests[expected.file == "ping.1.out" ? 1 : 4];
            if (!test.ran) continue; // a run stopped by Test 2's failure has no Test 5
            ASSERT_TRUE(test.figures.ping) << report.language << " " << expected.file;
            const reports::PingStatistics& found = *test.figures.ping;
            const std::string where = report.language + " " + expected.file;
            EXPECT_EQ(found.sent, expected.figures.at("sent")) << where;
            EXPECT_EQ(found.received, expected.figures.at("received")) << where;
            EXPECT_EQ(found.lost, expected.figures.at("lost")) << where;
            if (expected.figures.contains("average")) {
                EXPECT_EQ(found.minimum_ms, expected.figures.at("min")) << where;
                EXPECT_EQ(found.maximum_ms, expected.figures.at("max")) << where;
                EXPECT_EQ(found.average_ms, expected.figures.at("average")) << where;
            }
        }
    }
}

// A Spanish ping and a French ipconfig in an otherwise English report read the same in CP437 as in CP850: no
// tie, but one text. Both are decoded, named by the report's own page, and the page names the others with it.
TEST_F(CorpusTest, SectionsThatReadAlikeInSeveralCodePagesAreDecodedAndNamed) {
    const auto mixed = std::find_if(reports_->begin(), reports_->end(), [](const corpus::CorpusReport& report) {
        return report.language == "mixed-spanish-french";
    });
    ASSERT_NE(mixed, reports_->end());
    const reports::ReadReport read = reports::read_report(mixed->bytes, "100.102.3.4");
    EXPECT_EQ(read.code_page.code_page, 850);
    const lumresults::dashboard::SectionViews views(read, mixed->bytes, {});
    const lumresults::dashboard::PageList parts = views.parts(0, mixed->bytes.size());
    ASSERT_EQ(parts.size(), read.sections.size());
    const std::pair<std::string_view, std::string> localized[] = {{"ipconfig", "Nom de l'hôte"},
                                                                  {"ping", "Estadísticas de ping para 8.8.8.8:"}};
    for (const auto& [tool, phrase] : localized) {
        const auto section = std::find_if(read.sections.begin(), read.sections.end(), [&](const auto& found) {
            return found.tool == tool && found.code_page.code_page != reports::ASCII_ONLY;
        });
        ASSERT_NE(section, read.sections.end()) << tool;
        EXPECT_EQ(section->code_page.code_page, 850) << tool;
        const std::string text = reports::decoded_text(
            std::string_view(mixed->bytes).substr(section->bytes.begin, section->bytes.end - section->bytes.begin),
            reports::section_code_page(*section, read));
        EXPECT_NE(text.find(phrase), std::string::npos) << text;
        EXPECT_EQ(text.find("\\x"), std::string::npos) << text;
        const std::string label =
            parts[static_cast<std::size_t>(section - read.sections.begin())].get("label")->string_value();
        EXPECT_TRUE(label.starts_with("decoded as CP850 (Western European), which reads it as CP437")) << label;
        EXPECT_NE(label.find("CP857"), std::string::npos) << label;
    }
}

} // namespace
