// server/store/sql/forget_rows.h: erasing one subscriber's, computer's or address's rows on request.
#pragma once

#include "server/store/sql/database.h"

namespace lumresults::sql {

// Within a transaction: deletes what `whom` names (see SessionStore::forget).
ForgetCounts forget_rows(Session& session, const ForgetWhom& whom);

} // namespace lumresults::sql
