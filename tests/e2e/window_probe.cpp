// What the end-to-end tests cannot see through X: the program's windows and
// their controls, as another program on the same Windows desktop sees them.
//   OrvalisWindowProbe.exe
// reads titles on its standard input, one a line, and answers each with the
// first visible top-level window whose title begins with it ("window: ..." or
// "no window"), a "child: ..." line per control, and "end". One probe answers
// a whole test: starting a program under Wine costs more than all its answers.
//   OrvalisWindowProbe.exe --start-without-streams SECONDS PROGRAM [ARGUMENT...]
// starts PROGRAM as a scheduler or a service does (no console, no standard
// handles), waits up to SECONDS for it to end and prints "exit: CODE", or
// "exit: timeout" (and ends it).
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
    if (className) {
        GetClassNameW(window, text, 256);
    } else if (Text(window, true) == "Edit") {
        SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    } else {
        GetWindowTextW(window, text, 256);
    }
    std::string narrow;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        narrow += *c < 128 ? static_cast<char>(*c) : '?';
    }
    return narrow;
}

// The same fields for a top-level window and a control, the text last.
BOOL CALLBACK Describe(HWND window, LPARAM kind)
{
    const std::string cls = Text(window, true);
    const bool control = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
    RECT r{};
    GetWindowRect(window, &r);
    std::printf("%s: %d %s at=%ld,%ld centre=%ld,%ld visible=%d enabled=%d foreground=%d pos=%ld text=%s\n",
                reinterpret_cast<const char*>(kind), control ? GetDlgCtrlID(window) : 0, cls.c_str(), r.left, r.top,
                (r.left + r.right) / 2, (r.top + r.bottom) / 2, IsWindowVisible(window) ? 1 : 0,
                IsWindowEnabled(window) ? 1 : 0, GetForegroundWindow() == window ? 1 : 0,
                static_cast<long>(cls == "msctls_trackbar32" ? SendMessageW(window, TBM_GETPOS, 0, 0) : 0),
                Text(window).c_str());
    return TRUE;
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
    return 0;  // the handles close with the probe
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
        while (window != nullptr && !(IsWindowVisible(window) && Text(window).rfind(prefix, 0) == 0)) {
            window = GetWindow(window, GW_HWNDNEXT);
        }
        if (window == nullptr) {
            std::printf("no window\n");
        } else {
            Describe(window, reinterpret_cast<LPARAM>("window"));
            EnumChildWindows(window, Describe, reinterpret_cast<LPARAM>("child"));
        }
        std::printf("end\n");
        std::fflush(stdout);
    }
    return 0;
}
