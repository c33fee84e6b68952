// server/site/pages.h: the results server's own small pages.
#pragma once

#include <string>

namespace lumresults {

std::string front_page();

} // namespace lumresults
