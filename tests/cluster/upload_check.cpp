// tests/cluster/upload_check.cpp: the burst's record against the rows and bytes of the store, one upload at a time.
#include "upload_check.h"

#include "server/common/sha256.h"

namespace lum::cluster {
namespace {

using lumresults::ReportInfo;

// The stored bytes' own digest, read back through the store, rather than the digest kept beside them.
std::string stored_digest(lumresults::Store& store, std::int64_t id) {
    lumresults::Sha256 hash;
    if (!store.read_report(id, [&hash](std::string_view bytes) { hash.update(bytes); })) return "(no bytes)";
    return hash.finish_hex();
}

void check_one(const UploadRecord& upload, const std::vector<ReportInfo>& rows, lumresults::Store& store,
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
    if (row.size != upload.size || stored_digest(store, row.id) != upload.sha256)
        fault("the stored bytes (report " + std::to_string(row.id) + ") are not those sent");
}

} // namespace

CheckResult check_uploads(const std::vector<UploadRecord>& records, lumresults::Store& store) {
    // Room for more rows than were sent, so that extra ones are seen too.
    const std::vector<ReportInfo> rows = store.list_reports({{}, {}, 2 * records.size() + 100});
    std::map<std::string, std::vector<ReportInfo>> by_name;
    for (const ReportInfo& row : rows)
        by_name[row.file_name].push_back(row);
    CheckResult result;
    for (const UploadRecord& upload : records) {
        const auto found = by_name.find(upload.file_name);
        check_one(upload, found == by_name.end() ? std::vector<ReportInfo>{} : found->second, store, result);
        if (found != by_name.end()) by_name.erase(found);
    }
    for (const auto& [name, stored] : by_name)
        result.faults.push_back(name + ": stored " + std::to_string(stored.size()) + " time(s) but never sent");
    return result;
}

} // namespace lum::cluster
