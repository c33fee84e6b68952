// tests/testrun/win32/message_box_reader.cpp: finds the program's message box, prints its text and presses OK.
//
//   message_box_reader <output file>
//
// Waits up to a minute for a dialog box titled "Lumora Network Test v1.4", writes the text of its
// message (the static control 65535) to the output file, and clicks its OK button (1). Exit code 0
// when a box was found and closed, 1 otherwise.
#include <windows.h>

#include <cstdio>

namespace {

constexpr const char* TITLE = "Lumora Network Test v1.4";

HWND wait_for_box() {
    for (int tries = 0; tries < 600; ++tries) {
        HWND box = FindWindowA("#32770", TITLE);
        if (box != nullptr) return box;
        Sleep(100);
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HWND box = wait_for_box();
    if (box == nullptr) return 1;
    char text[512] = {};
    GetDlgItemTextA(box, 65535, text, sizeof(text));
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out != nullptr) {
        std::fputs(text, out);
        std::fclose(out);
    }
    // A click on OK ends the box as the user's would.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return 0;
}
