// runtime/system/posix/query_os_version.cpp: POSIX systems have no Windows version to report.
#include "runtime/system/system.h"

namespace lum {

// An empty record decides to 200, the code for a release the program does not know.
VersionRecord query_os_version() { return {}; }

} // namespace lum
