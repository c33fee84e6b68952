// tests/lab/e2e/lab_inspector.cpp: reads and drives the running program's windows for the end-to-end runs under Wine.
//
//   lab_inspector wait-closing-screen SECONDS OUTFILE   waits for the closing screen; writes its controls' texts
//   lab_inspector press N                               clicks button N of the progress window
//   lab_inspector close                                 asks the progress window to close, as its close box does
//   lab_inspector read-message-box SECONDS OUTFILE      waits for the message box; writes its text, presses OK
//   lab_inspector minimize                              minimises the progress window, which then is not in front
//   lab_inspector wait-raised SECONDS                   waits until the progress window is restored and in front
//   lab_inspector temp-folder OUTFILE                   writes the ANSI code page and how TEMP reads and is named
//
// OUTFILE of wait-closing-screen holds one line "N<TAB>text" per control 1..9 (rows 1-7, buttons 8 and 9),
// then "origin<TAB>X Y": where the client area's top-left corner is on the screen, for the screenshot's
// check. OUTFILE of temp-folder holds "code-page<TAB>N", "ansi-read<TAB>TEMP as the ANSI call reads it"
// and "short-name<TAB>the 8.3 form of TEMP read in full" (empty when there is none). Lines end with LF
// alone, because the shell scripts that read them are Linux ones.
// Exit code 0 on success, 1 when the window did not appear in time, 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* PROGRESS_WINDOW_CLASS = "WindowClass_0";
constexpr const char* MESSAGE_BOX_CLASS = "#32770";
constexpr const char* PROGRAM_TITLE = "Lumora Network Test v1.4";
constexpr int VIEW_LOG_BUTTON = 8;
constexpr int SPEED_TEST_BUTTON = 9;
constexpr int MESSAGE_TEXT_ID = 65535;

// The closing screen is the progress window once its two buttons exist: they are made after the last row's
// verdict, so every row's text is final by then.
HWND closing_screen() {
    HWND window = FindWindowA(PROGRESS_WINDOW_CLASS, nullptr);
    if (window == nullptr) return nullptr;
    if (GetDlgItem(window, VIEW_LOG_BUTTON) == nullptr || GetDlgItem(window, SPEED_TEST_BUTTON) == nullptr)
        return nullptr;
    return window;
}

HWND message_box() { return FindWindowA(MESSAGE_BOX_CLASS, PROGRAM_TITLE); }

// Polls every tenth of a second: the window belongs to another process, which gives no signal when it is ready.
HWND wait_for(HWND (*find)(), int seconds) {
    for (int tenths = 0; tenths < seconds * 10; ++tenths) {
        if (HWND found = find()) return found;
        Sleep(100);
    }
    return nullptr;
}

// Written under a temporary name and renamed into place, so that a script polling for the file never reads half.
bool write_file(const char* path, const std::string& text) {
    const std::string temporary = std::string(path) + ".tmp";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) return false;
    return MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING) != 0;
}

int wait_closing_screen(int seconds, const char* path) {
    HWND window = wait_for(closing_screen, seconds);
    if (window == nullptr) {
        std::fprintf(stderr, "lab_inspector: no closing screen within %d seconds\n", seconds);
        return 1;
    }
    std::string texts;
    for (int id = 1; id <= SPEED_TEST_BUTTON; ++id) {
        char text[1024] = {};
        GetDlgItemTextA(window, id, text, sizeof(text));
        texts += std::to_string(id) + "\t" + text + "\n";
    }
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    texts += "origin\t" + std::to_string(origin.x) + " " + std::to_string(origin.y) + "\n";
    return write_file(path, texts) ? 0 : 1;
}

// A click as the button itself reports it to its parent: the notification, with the button's own handle.
int press(int button) {
    HWND window = closing_screen();
    HWND control = window != nullptr ? GetDlgItem(window, button) : nullptr;
    if (control == nullptr) {
        std::fprintf(stderr, "lab_inspector: no button %d on the closing screen\n", button);
        return 1;
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
}

int close_window() {
    HWND window = FindWindowA(PROGRESS_WINDOW_CLASS, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "lab_inspector: no progress window to close\n");
        return 1;
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

int read_message_box(int seconds, const char* path) {
    HWND box = wait_for(message_box, seconds);
    if (box == nullptr) {
        std::fprintf(stderr, "lab_inspector: no message box within %d seconds\n", seconds);
        return 1;
    }
    char text[1024] = {};
    GetDlgItemTextA(box, MESSAGE_TEXT_ID, text, sizeof(text));
    const bool written = write_file(path, text);
    // The text is kept first: OK ends the box, and with it the program's wait.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return written ? 0 : 1;
}

HWND minimized_window() {
    HWND window = FindWindowA(PROGRESS_WINDOW_CLASS, nullptr);
    return window != nullptr && IsIconic(window) && GetForegroundWindow() != window ? window : nullptr;
}

// The window is minimised as its title bar's button would do it; activation then goes elsewhere.
int minimize() {
    HWND window = FindWindowA(PROGRESS_WINDOW_CLASS, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "lab_inspector: no progress window to minimise\n");
        return 1;
    }
    ShowWindow(window, SW_MINIMIZE);
    if (wait_for(minimized_window, 10) != nullptr) return 0;
    std::fprintf(stderr, "lab_inspector: the progress window is still in front after minimising\n");
    return 1;
}

HWND raised_window() {
    HWND window = FindWindowA(PROGRESS_WINDOW_CLASS, nullptr);
    return window != nullptr && !IsIconic(window) && GetForegroundWindow() == window ? window : nullptr;
}

int wait_raised(int seconds) {
    if (wait_for(raised_window, seconds) != nullptr) return 0;
    HWND window = FindWindowA(PROGRESS_WINDOW_CLASS, nullptr);
    std::fprintf(stderr, "lab_inspector: the progress window is %s and %s\n",
                 window != nullptr && IsIconic(window) ? "minimised" : "not minimised",
                 window != nullptr && GetForegroundWindow() == window ? "in front" : "not in front");
    return 1;
}

// TEMP read in full (UTF-16), as the system keeps it; the short name is ASCII on every code page.
int temp_folder(const char* path) {
    wchar_t wide[MAX_PATH * 2] = {};
    wchar_t short_wide[MAX_PATH * 2] = {};
    char ansi[MAX_PATH * 2] = {};
    char short_name[MAX_PATH * 2] = {};
    GetEnvironmentVariableA("TEMP", ansi, sizeof(ansi));
    if (GetEnvironmentVariableW(L"TEMP", wide, MAX_PATH * 2) > 0 &&
        GetShortPathNameW(wide, short_wide, MAX_PATH * 2) > 0)
        WideCharToMultiByte(CP_ACP, 0, short_wide, -1, short_name, sizeof(short_name), nullptr, nullptr);
    const std::string text =
        "code-page\t" + std::to_string(GetACP()) + "\nansi-read\t" + ansi + "\nshort-name\t" + short_name + "\n";
    return write_file(path, text) ? 0 : 1;
}

int usage() {
    std::fprintf(stderr, "usage: lab_inspector wait-closing-screen SECONDS OUTFILE | press N | close | "
                         "read-message-box SECONDS OUTFILE | minimize | wait-raised SECONDS | temp-folder OUTFILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* command = argv[1];
    if (std::strcmp(command, "wait-closing-screen") == 0 && argc == 4)
        return wait_closing_screen(std::atoi(argv[2]), argv[3]);
    if (std::strcmp(command, "press") == 0 && argc == 3) return press(std::atoi(argv[2]));
    if (std::strcmp(command, "close") == 0 && argc == 2) return close_window();
    if (std::strcmp(command, "read-message-box") == 0 && argc == 4)
        return read_message_box(std::atoi(argv[2]), argv[3]);
    if (std::strcmp(command, "minimize") == 0 && argc == 2) return minimize();
    if (std::strcmp(command, "wait-raised") == 0 && argc == 3) return wait_raised(std::atoi(argv[2]));
    if (std::strcmp(command, "temp-folder") == 0 && argc == 3) return temp_folder(argv[2]);
    return usage();
}
