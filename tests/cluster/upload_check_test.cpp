// tests/cluster/upload_check_test.cpp: the burst's checker finds each broken promise, and only those, in a store it is
// shown.
#include <gtest/gtest.h>

#include <fstream>

#include "server/common/sha256.h"
#include "test_support.h"
#include "upload_check.h"

namespace {

using namespace lum::cluster;
using lumresults::Store;

const std::string REPORT = "Lumora Network Test v1.4\r\n\r\n=== TEST END === 2026-12-07 10:00:00\r\n";

std::string sha256_of(const std::string& bytes) {
    lumresults::Sha256 hash;
    hash.update(bytes);
    return hash.finish_hex();
}

// What the store holds of one upload and what the burst was told of it.
struct Case {
    const char* what;
    int copies;       // how many times the upload is stored
    bool other_bytes; // stored with bytes other than those sent
    unsigned status;
    bool told_its_id;  // a 200 names the stored id (else another)
    const char* fault; // a part of the fault's text; nullptr: none
    std::size_t refused_but_stored;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }

class StoreTest : public ::testing::Test {
protected:
    std::int64_t store(const std::string& name, const std::string& bytes) {
        const std::filesystem::path content = folder_.path() / "content";
        std::ofstream(content, std::ios::binary) << bytes;
        return store_->put_report(
            {"127.0.0.1", lumresults::Clock::now(), name, "text/plain", bytes.size(), sha256_of(bytes), content});
    }

    lum::testing_support::ScratchFolder folder_{"cluster_check_"};
    std::unique_ptr<Store> store_ = lumresults::open_sqlite_store(folder_.path() / "data");
};

class UploadCheckTest : public StoreTest, public ::testing::WithParamInterface<Case> {};

TEST_P(UploadCheckTest, FindsWhatBreaksAPromise) {
    const Case& c = GetParam();
    std::int64_t id = 7;
    for (int copy = 0; copy < c.copies; ++copy) {
        const std::int64_t stored = store("burst-00000.log", c.other_bytes ? REPORT + "x" : REPORT);
        if (copy == 0) id = stored;
    }
    UploadRecord upload{0, "burst-00000.log", "all-pass", REPORT.size(), sha256_of(REPORT), c.status, {}, "", 0};
    if (c.status == 200) upload.told_id = c.told_its_id ? id : id + 1000;
    const CheckResult result = check_uploads({upload}, *store_);
    if (c.fault) {
        ASSERT_EQ(result.faults.size(), 1u) << ::testing::PrintToString(result.faults);
        EXPECT_NE(result.faults[0].find(c.fault), std::string::npos) << result.faults[0];
    } else {
        EXPECT_TRUE(result.faults.empty()) << ::testing::PrintToString(result.faults);
    }
    EXPECT_EQ(result.acknowledged, c.status == 200 ? 1u : 0u);
    EXPECT_EQ(result.refused_but_stored, c.refused_but_stored);
}

INSTANTIATE_TEST_SUITE_P(
    Uploads, UploadCheckTest,
    ::testing::Values(Case{"acknowledged and stored once", 1, false, 200, true, nullptr, 0},
                      Case{"acknowledged but not stored", 0, false, 200, true, "but not stored", 0},
                      Case{"acknowledged and stored twice", 2, false, 200, true, "stored 2 times", 0},
                      Case{"acknowledged with another id", 1, false, 200, false, "told id", 0},
                      Case{"acknowledged with other bytes stored", 1, true, 200, true, "are not those sent", 0},
                      Case{"refused by the balancer, not stored", 0, false, 502, false, nullptr, 0},
                      Case{"refused after it was stored", 1, false, 503, false, nullptr, 1},
                      Case{"refused and stored with other bytes", 1, true, 502, false, "are not those sent", 1},
                      Case{"refused with a client error", 0, false, 400, false, "not a 5xx", 0},
                      Case{"never answered", 0, false, 0, false, "not a 5xx", 0}),
    [](const ::testing::TestParamInfo<Case>& test) {
        std::string name = test.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST_F(StoreTest, AReportThatWasNeverSentIsAFault) {
    store("burst-00001.log", REPORT);
    const CheckResult result = check_uploads({}, *store_);
    ASSERT_EQ(result.faults.size(), 1u);
    EXPECT_NE(result.faults[0].find("never sent"), std::string::npos) << result.faults[0];
}

} // namespace
