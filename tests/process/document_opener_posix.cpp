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
    std::ofstream(opener) << "#!/bin/sh\n"
                          << "{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } >> '" << record_path << "'\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    saved_path = path != nullptr ? path : "";
    setenv("PATH", (bin.string() + ":" + saved_path).c_str(), 1);
}

void remove_document_opener() { setenv("PATH", saved_path.c_str(), 1); }

} // namespace lum::testing_support
