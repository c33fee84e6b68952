// tests/process/document_opener_posix.cpp: an xdg-open of the test's own, put first on PATH.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "document_opener.h"

namespace lum::testing_support {
namespace {

std::string saved_path;

} // namespace

void install_document_opener(const std::string&, const std::string& record_path, const std::string& scratch_folder) {
    const std::filesystem::path bin = std::filesystem::path(scratch_folder) / "opener-bin";
    std::filesystem::create_directories(bin);
    const std::filesystem::path opener = bin / "xdg-open";
    // One write for the whole record, so that openers started together cannot mix their lines.
    std::ofstream(opener) << "#!/bin/sh\n"
                          << "output=kept; [ /dev/stdout -ef /dev/null ] && output=null\n"
                          << "record=\"$(pwd)\n"
                          << "output=$output\"\n"
                          << "for a in \"$@\"; do record=\"$record\n[$a]\"; done\n"
                          << "printf '%s\\n' \"$record\" >> '" << record_path << "'\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    saved_path = path != nullptr ? path : "";
    setenv("PATH", (bin.string() + ":" + saved_path).c_str(), 1);
}

std::string shown_normally_note() { return "output=kept"; }

void remove_document_opener() { setenv("PATH", saved_path.c_str(), 1); }

} // namespace lum::testing_support
