// tests/process/document_opener.h: a stand-in for the desktop's document opener, which records what it was asked.
#pragma once

#include <string>

namespace lum::testing_support {

// From here on the desktop shell opens documents ending in ".lumdoc" or ".txt", and web addresses, by
// running the test child, which adds the folder it runs in, a note on how it was asked to show itself
// and the document's path ("[path]") to `record_path`, one line each.
// Windows: an association in the registry; POSIX: an xdg-open of our own, first on PATH.
void install_document_opener(const std::string& child_path, const std::string& record_path,
                             const std::string& scratch_folder);

void remove_document_opener();

// The note of an opener that was asked to show its window normally. Windows: the show state of its
// start-up information; POSIX, where a hidden start sends the program's output nowhere: output kept.
std::string shown_normally_note();

} // namespace lum::testing_support
