// runtime/system/posix/library_search.cpp: POSIX loads no libraries from the program's folder by itself.
#include "runtime/system/library_search.h"

namespace lum {

// The dynamic linker never looks in the program's folder or the current one unless told to.
void restrict_library_search() {}

} // namespace lum
