// server/store/sql/report_tables.h: the reports' and readings' statements, written once for every back end.
#pragma once

#include "server/store/sql/database.h"

namespace lumresults::sql {

class ReportTables : public virtual ReportStore {
public:
    explicit ReportTables(Database& database) : database_(database) {}

    std::int64_t put_report(const NewReport& report) override { return database_.put_report(report); }
    bool read_report(std::int64_t id, const ByteSink& sink) override { return database_.read_report(id, sink); }
    std::optional<ReportInfo> find_report(std::int64_t id) override;
    std::vector<ReportInfo> list_reports(const ReportFilter& filter) override;
    void put_reading(std::int64_t id, const ReportReading& reading) override;
    std::optional<ReportReading> find_reading(std::int64_t id) override;
    std::vector<std::int64_t> reports_to_read(std::int32_t rules_version, std::int64_t after_id,
                                              std::size_t limit) override;
    std::vector<ReportSummary> search_reports(const ReportSearch& search) override;
    std::size_t delete_reports_before(Clock::time_point before) override;

private:
    Database& database_;
};

} // namespace lumresults::sql
