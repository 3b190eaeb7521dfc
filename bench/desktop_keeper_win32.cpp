// Keeps Wine's desktop open while the start-up benchmark starts and ends its programs one after
// the other, as the shell keeps it open on Windows. Without a program on it, Wine closes the
// desktop a moment after the last one ends, and the next start, whichever program it is, waits
// for it to open again: hundreds of milliseconds that come and go with the machine's load.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // A message-only window joins the desktop without showing anything.
    CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
