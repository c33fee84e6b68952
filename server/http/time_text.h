// server/http/time_text.h: the current time as the answers' Date line and the log's stamp want it.
#pragma once

#include <string>

namespace lumresults {

// "Sun, 06 Nov 1994 08:49:37 GMT"
const std::string& http_date_now();
// "1994-11-06T08:49:37Z"
const std::string& log_time_now();

} // namespace lumresults
