// tests/cluster/upload_check.cpp: the burst's record against the rows and bytes of the store, one upload at a time.
#include "upload_check.h"

#include <atomic>
#include <thread>

#include "server/common/sha256.h"

namespace lum::cluster {
namespace {

using lumresults::ReportInfo;

using Digests = std::map<std::int64_t, std::string>;

// Thousands of reports are read back: a few at a time, each on a connection of the store's pool.
constexpr int READERS = 4;

// The stored bytes' own digest, read back through the store, rather than the digest kept beside them.
std::string stored_digest(lumresults::Store& store, std::int64_t id) {
    try {
        lumresults::Sha256 hash;
        if (!store.read_report(id, [&hash](std::string_view bytes) { hash.update(bytes); })) return "(no bytes)";
        return hash.finish_hex();
    } catch (const lumresults::StoreError& error) {
        return std::string("(not read: ") + error.what() + ")";
    }
}

Digests stored_digests(lumresults::Store& store, const std::vector<ReportInfo>& rows) {
    std::vector<std::string> digests(rows.size());
    std::atomic<std::size_t> next{0};
    {
        std::vector<std::jthread> readers;
        for (int reader = 0; reader < READERS; ++reader)
            readers.emplace_back([&] {
                for (std::size_t i; (i = next++) < rows.size();)
                    digests[i] = stored_digest(store, rows[i].id);
            });
    } // every reader joined
    Digests by_id;
    for (std::size_t i = 0; i < rows.size(); ++i)
        by_id[rows[i].id] = std::move(digests[i]);
    return by_id;
}

void check_one(const UploadRecord& upload, const std::vector<ReportInfo>& rows, const Digests& digests,
               CheckResult& result) {
    const auto fault = [&](const std::string& what) { result.faults.push_back(upload.file_name + ": " + what); };
    if (upload.status == 200) {
        ++result.acknowledged;
        if (!upload.told_id) fault("answered 200 without \"OK <id>\": " + upload.answer);
    } else {
        ++result.refusals[upload.status];
        if (upload.status < 500 || upload.status > 599)
            fault("refused with status " + std::to_string(upload.status) + ", not a 5xx: " + upload.answer);
        if (rows.size() == 1) ++result.refused_but_stored;
    }
    if (rows.size() > 1) return fault("stored " + std::to_string(rows.size()) + " times");
    if (rows.empty()) {
        if (upload.status == 200) fault("answered " + upload.answer + " but not stored");
        return;
    }
    const ReportInfo& row = rows.front();
    if (upload.told_id && row.id != *upload.told_id)
        fault("told id " + std::to_string(*upload.told_id) + ", stored as " + std::to_string(row.id));
    if (row.size != upload.size || digests.at(row.id) != upload.sha256)
        fault("the stored bytes (report " + std::to_string(row.id) + ") are not those sent");
}

} // namespace

CheckResult check_uploads(const std::vector<UploadRecord>& records, lumresults::Store& store) {
    // Room for more rows than were sent, so that extra ones are seen too.
    const std::vector<ReportInfo> rows = store.list_reports({{}, {}, 2 * records.size() + 100});
    std::map<std::string, std::vector<ReportInfo>> by_name;
    for (const ReportInfo& row : rows)
        by_name[row.file_name].push_back(row);
    // Only the rows of uploads that were sent are read: any other is a fault whatever its bytes.
    std::vector<ReportInfo> sent_rows;
    for (const UploadRecord& upload : records)
        if (const auto found = by_name.find(upload.file_name); found != by_name.end())
            sent_rows.insert(sent_rows.end(), found->second.begin(), found->second.end());
    const Digests digests = stored_digests(store, sent_rows);
    CheckResult result;
    for (const UploadRecord& upload : records) {
        const auto found = by_name.find(upload.file_name);
        check_one(upload, found == by_name.end() ? std::vector<ReportInfo>{} : found->second, digests, result);
        if (found != by_name.end()) by_name.erase(found);
    }
    for (const auto& [name, stored] : by_name)
        result.faults.push_back(name + ": stored " + std::to_string(stored.size()) + " time(s) but never sent");
    return result;
}

} // namespace lum::cluster
