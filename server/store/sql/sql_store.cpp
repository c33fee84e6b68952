// server/store/sql/sql_store.cpp: the five parts of the store over one database, and what they share.
#include "server/store/sql/sql_store.h"

#include "server/store/sql/count_tables.h"
#include "server/store/sql/report_tables.h"
#include "server/store/sql/session_table.h"
#include "server/store/sql/speed_test_table.h"
#include "server/store/sql/staff_tables.h"

namespace lumresults::sql {
namespace {

// The database comes first, so that it outlives the parts that use it.
struct OwnedDatabase {
    std::unique_ptr<Database> database;
};

// Each part of Store is implemented once, by its own class: as Store's bases are virtual, each part's
// implementation here overrides the part's functions for the whole store.
class SqlStore final : private OwnedDatabase,
                       public Store,
                       public ReportTables,
                       public StaffTables,
                       public SpeedTestTable,
                       public CountTables,
                       public SessionTable {
public:
    explicit SqlStore(std::unique_ptr<Database> owned)
        : OwnedDatabase{std::move(owned)}, ReportTables(*database), StaffTables(*database), SpeedTestTable(*database),
          CountTables(*database), SessionTable(*database) {}
};

} // namespace

std::unique_ptr<Store> make_store(std::unique_ptr<Database> database) {
    return std::make_unique<SqlStore>(std::move(database));
}

std::optional<std::int64_t> single_integer(Session& session, std::string_view sql, const Params& params,
                                           std::string_view doing) {
    std::optional<std::int64_t> value;
    session.query(sql, params, doing, [&](const Row& row) {
        if (!value) value = row.integer(0);
    });
    return value;
}

} // namespace lumresults::sql
