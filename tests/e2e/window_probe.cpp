// Reads what the end-to-end tests cannot see through X: the program's windows
// and their controls, as another program on the same Windows desktop sees them.
//
//   OrvalisWindowProbe.exe
//
// reads titles from its standard input, one a line, and answers each with the
// first visible top-level window whose title begins with it ("window: x y
// width height enabled=E foreground=F", or "no window"), one line per child
// control (id, class, visible, slider position of trackbars, its centre on the
// screen and its text), and "end". One probe answers a whole test: starting a
// program under Wine costs more than all its answers.
//
//   OrvalisWindowProbe.exe --start-without-streams SECONDS PROGRAM [ARGUMENT...]
//
// starts PROGRAM as a scheduler or a service does (no console, no standard
// handles), waits up to SECONDS for it to end and prints "exit: CODE", or
// "exit: timeout" (and ends it) when it is still running then.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A window's class name or its text. An edit field's text is asked of the
// field itself (GetWindowText would give another process's field its first
// caption); other texts are read without a round trip to the program, whose
// frames under lavapipe can take a second.
std::string Text(HWND window, bool className = false)
{
    wchar_t text[256] = {};
    DWORD_PTR copied = 0;
    if (className) {
        GetClassNameW(window, text, 256);
    } else if (Text(window, true) == "Edit") {
        SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
    } else {
        GetWindowTextW(window, text, 256);
    }
    std::string narrow;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        narrow += *c < 128 ? static_cast<char>(*c) : '?';
    }
    return narrow;
}

int StartWithoutStreams(int argc, wchar_t** argv)
{
    std::wstring commandLine;
    for (int i = 3; i < argc; ++i) {
        commandLine += (i > 3 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;  // all three null: no standard streams at all
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("exit: cannot start (error %lu)\n", GetLastError());
        return 1;
    }
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(_wtoi(argv[2])) * 1000) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.hProcess, &code)) {
        std::printf("exit: %lu\n", code);
    } else {
        TerminateProcess(process.hProcess, 255);
        std::printf("exit: timeout\n");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 4 && std::wstring(argv[1]) == L"--start-without-streams") {
        return StartWithoutStreams(argc, argv);
    }
    char line[256];
    while (std::fgets(line, sizeof(line), stdin) != nullptr) {
        const std::string prefix(line, std::strcspn(line, "\r\n"));
        HWND window = GetTopWindow(nullptr);
        for (; window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
            if (IsWindowVisible(window) && Text(window).rfind(prefix, 0) == 0) {
                break;
            }
        }
        RECT rect{};
        if (window == nullptr || !GetWindowRect(window, &rect)) {
            std::printf("no window\nend\n");
            std::fflush(stdout);
            continue;
        }
        std::printf("window: %ld %ld %ld %ld enabled=%d foreground=%d\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, IsWindowEnabled(window) ? 1 : 0, GetForegroundWindow() == window ? 1 : 0);
        EnumChildWindows(window, [](HWND child, LPARAM) -> BOOL {
            const std::string cls = Text(child, true);
            const LRESULT position = cls == "msctls_trackbar32" ? SendMessageW(child, TBM_GETPOS, 0, 0) : 0;
            RECT r{};
            GetWindowRect(child, &r);
            std::printf("child: %d %s visible=%d pos=%ld centre=%ld,%ld text=%s\n", GetDlgCtrlID(child), cls.c_str(),
                        IsWindowVisible(child) ? 1 : 0, static_cast<long>(position), (r.left + r.right) / 2,
                        (r.top + r.bottom) / 2, Text(child).c_str());
            return TRUE;
        }, 0);
        std::printf("end\n");
        std::fflush(stdout);
    }
    return 0;
}
