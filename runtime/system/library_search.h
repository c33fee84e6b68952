// runtime/system/library_search.h: where the program's libraries may come from: the system folder only.
#pragma once

namespace lum {

// From here on, libraries that the program or a system library loads by name come from the system
// folder alone: a file named like a system library lying beside the program (a Downloads folder) or in
// the current folder is never taken in its place. Called once, first thing at start. Where the system
// cannot narrow the search (Windows 7 without its loader update) it does nothing, and the ICMP library
// protects itself by loading from its full path; POSIX has no such search and nothing to do.
void restrict_library_search();

} // namespace lum
