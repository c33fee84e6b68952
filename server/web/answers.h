// server/web/answers.h: the JSON and file answers of the staff and speed-test paths, with the headers every
// such answer carries.
#pragma once

#include <string>
#include <string_view>

#include "server/http/response.h"

namespace lumresults {

Response json_response(unsigned status, std::string body);
// {"error": text}
Response json_error(unsigned status, std::string_view text);

// The exact bytes, for saving: Content-Disposition attachment with this file name.
Response attachment(std::string body, std::string_view content_type, std::string_view file_name);

} // namespace lumresults
