// testrun/closing.cpp: footer, upload body and upload, and the closing screen's two buttons.
#include "testrun/closing.h"

#include <string>

#include "runtime/files/files.h"
#include "runtime/process/process.h"
#include "runtime/window/window.h"
#include "rules/operator.h"
#include "testrun/report_log.h"

namespace lum {
namespace {

constexpr std::int32_t BODY_FILE = 0;
constexpr std::int32_t COPIED_REPORT = 1;
constexpr std::int32_t VIEW_LOG_BUTTON = 8;
constexpr std::int32_t SPEED_TEST_BUTTON = 9;

// The form's content type, spelled as the results server's script has always received it.
constexpr std::string_view FORM_HEADER = "\"Content-Type: multipart/form-Data; boundary=FILEUPLOAD\"";

void copy_report_into_body(const RunState& state) {
    open_text_file(COPIED_REPORT, state.ReportPath);
    while (!at_end_of_file(COPIED_REPORT))
        write_text_line(BODY_FILE, read_text_line(COPIED_REPORT));
    close_text_file(COPIED_REPORT);
}

// Both open in a window the user sees: started hidden, a browser that was not yet running would stay
// out of sight.
void press(const RunState& state, std::intptr_t button) {
    if (button == VIEW_LOG_BUTTON) open_document(state.ReportPath);
    if (button == SPEED_TEST_BUTTON) launch_program(results_server_url(SPEED_TEST_PATH), "", state.TempDir, 0);
}

} // namespace

void finish_report(DateValue end) {
    write_report_line(std::string(REPORT_END_STAMP) + report_time(end));
    close_text_file(REPORT_FILE);
}

// One part named "userfile"; every line, the report's own included, ends with CR LF.
void upload_report(const RunState& state) {
    create_text_file(BODY_FILE, state.UploadPath);
    write_text_line(BODY_FILE, "--FILEUPLOAD");
    write_text_line(BODY_FILE, "Content-Disposition: form-data; name='userfile'; filename='lumtest.log'");
    write_text_line(BODY_FILE, "Content-Type: text/plain");
    write_text_line(BODY_FILE, "");
    copy_report_into_body(state);
    write_text_line(BODY_FILE, "");
    write_text_line(BODY_FILE, "--FILEUPLOAD--");
    close_text_file(BODY_FILE);
    const std::string arguments =
        "-qONUL --post-file=lumtest.log --header=" + std::string(FORM_HEADER) + " " + results_server_url(UPLOAD_PATH);
    launch_program("wget", arguments, state.TempDir, Hide);
}

void run_closing_screen(const RunState& state) {
    create_button_gadget(VIEW_LOG_BUTTON, 80, 225, 110, 30, "View Log");
    create_button_gadget(SPEED_TEST_BUTTON, 200, 225, 130, 30, "Speed Test");
    bool exit_requested = false;
    while (!exit_requested) {
        const std::int32_t last_event = wait_event();
        if (last_event == EVENT_CLOSE_WINDOW) exit_requested = true;
        if (last_event == EVENT_GADGET) press(state, event_gadget());
    }
}

} // namespace lum
