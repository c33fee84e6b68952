// server/dashboard/found_rows.h: found reports as the rows of a results table (the search page's and a
// report's list of the same subscriber's other reports).
#pragma once

#include "server/dashboard/render.h"
#include "server/dashboard/search_results.h"

namespace lumresults::dashboard {

// Each: id, received, caller, release, and seven cells (n, verdict, class, sign).
PageList found_rows(const FoundPage& found);

} // namespace lumresults::dashboard
