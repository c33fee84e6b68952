// tests/cluster/program_upload.h: the program's own upload body around a report, under a file name of the burst's
// choosing.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lum::cluster {

// The Content-Type the program's upload is sent with.
inline constexpr std::string_view UPLOAD_CONTENT_TYPE = "multipart/form-Data; boundary=FILEUPLOAD";

// A body the program wrote, cut where its file name stands.
struct ProgramUpload {
    std::string before_name;
    std::string after_name;
    std::string stored; // the file part's bytes: what the results server must keep
};

// Runs the program's upload_report on `report` in the folder `scratch` (which it leaves there), with no
// wget to be found, so that only the body is written. Not thread-safe: it changes PATH for the call.
// Throws std::runtime_error when the body is not in the shape expected.
ProgramUpload program_upload(const std::string& report, const std::filesystem::path& scratch);

// The body with `file_name` where the program names its lumtest.log.
std::string body_named(const ProgramUpload& upload, std::string_view file_name);

} // namespace lum::cluster
