// server/site/pages.h: the results server's own small pages.
#pragma once

#include <string>

namespace lumresults {

std::string front_page();
// Stands where the speed test will be.
std::string speed_test_page();

} // namespace lumresults
