// server/support/found_rows.h: found reports as the rows of a results table (the search page's and a
// report's list of the same subscriber's other reports).
#pragma once

#include "server/support/render.h"
#include "server/support/search_results.h"

namespace lumresults::support {

// Each: id, received, caller, release, and seven cells (n, verdict, class, sign).
PageList found_rows(const FoundPage& found);

} // namespace lumresults::support
