// Reads what the end-to-end tests cannot see through X: the program's windows
// and their controls, as another program on the same Windows desktop sees them.
//
//   OrvalisWindowProbe.exe "TITLE"
//
// prints the first visible top-level window whose title begins with TITLE
// ("window: x y width height enabled=E foreground=F"), then one line per child
// control: id, class, visible, checked, slider position (trackbars), its
// centre on the screen and its text. Exit code 1 when there is no such window.
//
//   OrvalisWindowProbe.exe --start-without-streams SECONDS PROGRAM [ARGUMENT...]
//
// starts PROGRAM as a scheduler or a service does (no console, no standard
// handles), waits up to SECONDS for it to end and prints "exit: CODE", or
// "exit: timeout" (and ends it) when it is still running then.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

std::string Narrow(const wchar_t* text)
{
    std::string result;
    for (; *text != L'\0'; ++text) {
        result += *text < 128 ? static_cast<char>(*text) : '?';
    }
    return result;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM)
{
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    wchar_t text[256] = {};
    GetWindowTextW(child, text, 256);
    const bool trackbar = lstrcmpiW(cls, TRACKBAR_CLASSW) == 0;
    const LRESULT position = trackbar ? SendMessageW(child, TBM_GETPOS, 0, 0) : 0;
    const LRESULT checked = lstrcmpiW(cls, L"Button") == 0 ? SendMessageW(child, BM_GETCHECK, 0, 0) : 0;
    RECT rect{};
    GetWindowRect(child, &rect);
    std::printf("child: %d %s visible=%d checked=%d pos=%ld centre=%ld,%ld text=%s\n", GetDlgCtrlID(child),
                Narrow(cls).c_str(), IsWindowVisible(child) ? 1 : 0, static_cast<int>(checked),
                static_cast<long>(position), static_cast<long>((rect.left + rect.right) / 2),
                static_cast<long>((rect.top + rect.bottom) / 2), Narrow(text).c_str());
    return TRUE;
}

struct Search {
    const wchar_t* prefix;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (IsWindowVisible(window) && std::wstring(title).rfind(search->prefix, 0) == 0) {
        search->found = window;
        return FALSE;
    }
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
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 4 && std::wstring(argv[1]) == L"--start-without-streams") {
        return StartWithoutStreams(argc, argv);
    }
    if (argc < 2) {
        std::printf("usage: OrvalisWindowProbe \"TITLE\"\n");
        return 2;
    }
    Search search{argv[1], nullptr};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    HWND window = search.found;
    if (window == nullptr) {
        std::printf("no window\n");
        return 1;
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("window: %ld %ld %ld %ld enabled=%d foreground=%d\n", static_cast<long>(rect.left),
                static_cast<long>(rect.top), static_cast<long>(rect.right - rect.left),
                static_cast<long>(rect.bottom - rect.top), IsWindowEnabled(window) ? 1 : 0,
                GetForegroundWindow() == window ? 1 : 0);
    EnumChildWindows(window, PrintChild, 0);
    std::fflush(stdout);
    return 0;
}
