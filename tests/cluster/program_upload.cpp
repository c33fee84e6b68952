// tests/cluster/program_upload.cpp: the body made by the program's code (testrun/closing.cpp), not a copy of its shape.
#include "program_upload.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "testrun/closing.h"
#include "testrun/run_state.h"

namespace lum::cluster {
namespace {

constexpr std::string_view PROGRAM_NAME = "filename='lumtest.log'";
constexpr std::string_view CLOSING = "\r\n--FILEUPLOAD--\r\n";

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("the program wrote no upload body at " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// upload_report writes the body, then starts wget: with PATH naming the empty scratch folder there is no
// wget to start, and nothing is sent anywhere.
std::string body_from_the_program(const std::string& report, const std::filesystem::path& scratch) {
    std::filesystem::create_directories(scratch);
    RunState state = make_run_state();
    prepare_paths(state, scratch.string(), "");
    std::ofstream(state.ReportPath, std::ios::binary) << report;
    const std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", scratch.c_str(), 1);
    upload_report(state);
    setenv("PATH", path.c_str(), 1);
    return contents(state.UploadPath);
}

} // namespace

ProgramUpload program_upload(const std::string& report, const std::filesystem::path& scratch) {
    const std::string body = body_from_the_program(report, scratch);
    const std::size_t name = body.find(PROGRAM_NAME);
    const std::size_t head_end = body.find("\r\n\r\n");
    if (name == std::string::npos || head_end == std::string::npos || head_end < name || !body.ends_with(CLOSING) ||
        body.size() < head_end + 4 + CLOSING.size())
        throw std::runtime_error("the program's upload body is not one part named lumtest.log");
    ProgramUpload upload;
    upload.before_name = body.substr(0, name) + "filename='";
    upload.after_name = body.substr(name + PROGRAM_NAME.size() - 1);
    upload.stored = body.substr(head_end + 4, body.size() - head_end - 4 - CLOSING.size());
    return upload;
}

std::string body_named(const ProgramUpload& upload, std::string_view file_name) {
    return upload.before_name + std::string(file_name) + upload.after_name;
}

} // namespace lum::cluster
