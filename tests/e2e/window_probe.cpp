// The program's windows and controls as another Windows program sees them. OrvalisWindowProbe.exe reads titles on
// standard input, one a line (one probe serves a whole test: a Wine start costs more than its answers),
// and answers each with the first visible top-level window whose title begins with it ("window: ..." or "no window"),
// a "child: ..." line per control, and "end". A line may first act: "!resize W H TITLE" (SetWindowPos to an outer
// size), "!show N 0 TITLE" (ShowWindowAsync: 6 minimises, 9 restores), "!key VK 0 TITLE" (key-down and key-up posted).
// "TITLE#ID" describes only the controls with that id (each text or position is a round trip to a slow program).
//   OrvalisWindowProbe.exe --start-without-streams SECONDS PROGRAM [ARGUMENT...]
// starts PROGRAM with no console and no standard handles, as a scheduler does, and prints "exit: CODE" or
// "exit: timeout" (and ends it) after SECONDS.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A window's class name or its text; an edit field's text is asked of the field itself (GetWindowText would give
// another process's field its first caption), other texts are read without a round trip to the slow program.
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

int onlyId = -1;  // the controls a line asks about ("TITLE#ID"), -1 for all

// The same fields for a top-level window and a control, the text last.
BOOL CALLBACK Describe(HWND window, LPARAM kind)
{
    const std::string cls = Text(window, true);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const bool control = (style & WS_CHILD) != 0;
    if (control && onlyId >= 0 && GetDlgCtrlID(window) != onlyId) {
        return TRUE;
    }
    RECT r{};
    GetWindowRect(window, &r);
    RECT client{};
    GetClientRect(window, &client);
    // The keyboard focus of the window's thread (GetFocus answers for the probe's own thread only).
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    const bool focus = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus == window;
    const bool box = cls == "Button" && ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX || (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON);
    std::printf("%s: %d %s at=%ld,%ld client=%ldx%ld centre=%ld,%ld visible=%d enabled=%d foreground=%d focus=%d "
                "checked=%d pos=%ld text=%s\n",
                reinterpret_cast<const char*>(kind), control ? GetDlgCtrlID(window) : 0, cls.c_str(), r.left, r.top,
                client.right, client.bottom, (r.left + r.right) / 2, (r.top + r.bottom) / 2,
                IsWindowVisible(window) ? 1 : 0, IsWindowEnabled(window) ? 1 : 0, GetForegroundWindow() == window ? 1 : 0,
                focus ? 1 : 0, box && SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0,
                static_cast<long>(cls == "msctls_trackbar32" ? SendMessageW(window, TBM_GETPOS, 0, 0) : 0),
                Text(window).c_str());
    return TRUE;
}

// Carries out a line's "!" request (its numbers a and b) on the window.
void Ask(HWND window, const std::string& request, int a, int b)
{
    if (request == "!resize") {
        SetWindowPos(window, nullptr, 0, 0, a, b, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (request == "!show") {
        ShowWindowAsync(window, a);
    } else if (request == "!key") {
        PostMessageW(window, WM_KEYDOWN, static_cast<WPARAM>(a), 1);
        PostMessageW(window, WM_KEYUP, static_cast<WPARAM>(a), static_cast<LPARAM>(0xC0000001u));
    }
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
        std::string prefix(line, std::strcspn(line, "\r\n"));
        char request[16] = {};
        int a = 0, b = 0, used = 0;
        if (prefix[0] == '!' && std::sscanf(line, "%15s %d %d %n", request, &a, &b, &used) == 3) {
            prefix.erase(0, static_cast<size_t>(used));
        }
        const size_t hash = prefix.rfind('#');
        onlyId = hash == std::string::npos ? -1 : std::atoi(prefix.c_str() + hash + 1);
        prefix = prefix.substr(0, hash);
        HWND window = GetTopWindow(nullptr);
        while (window != nullptr && !(IsWindowVisible(window) && Text(window).rfind(prefix, 0) == 0)) {
            window = GetWindow(window, GW_HWNDNEXT);
        }
        if (window == nullptr) {
            std::printf("no window\n");
        } else {
            Ask(window, request, a, b);
            Describe(window, reinterpret_cast<LPARAM>("window"));
            EnumChildWindows(window, Describe, reinterpret_cast<LPARAM>("child"));
        }
        std::printf("end\n");
        std::fflush(stdout);
    }
    return 0;
}
