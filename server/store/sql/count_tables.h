// server/store/sql/count_tables.h: the overview's counts: added to with each reading and speed test, read by hour and
// block.
#pragma once

#include "server/store/sql/database.h"

namespace lumresults::sql {

// Within the transaction that keeps report `id`'s reading, before the reading is written: holds the report
// until that transaction ends, takes the reading it replaces (if any) off the counts and adds `reading`,
// under the report's hour and block.
void count_reading(Session& session, std::int64_t id, const ReportReading& reading);

// Within the transaction that keeps the speed test.
void count_speed_test(Session& session, const NewSpeedTest& test);

// Deletes the counts of the hours that end at or before `before` (of readings, or of speed tests).
void forget_reading_counts_before(Session& session, Clock::time_point before);
void forget_speed_counts_before(Session& session, Clock::time_point before);

class CountTables : public virtual CountStore {
public:
    explicit CountTables(Database& database) : database_(database) {}

    std::vector<ReadingCount> reading_counts(const CountRange& range) override;
    std::vector<ReadingCount> block_counts(const CountRange& range, const std::vector<std::string>& blocks) override;
    std::vector<ReadingCount> busy_blocks(const CountRange& range, std::int64_t least) override;
    std::vector<SpeedCount> speed_counts(const CountRange& range) override;
    void recount() override;

private:
    Database& database_;
};

} // namespace lumresults::sql
