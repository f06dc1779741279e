// OrvalisBench.com, the console companion of OrvalisBench.exe. A prompt does
// not wait for a windowed program: typed at cmd.exe or PowerShell, the
// benchmark would return at once, print nothing and lose its exit code. Typed
// without its extension, "OrvalisBench" finds this console program first
// (.com comes before .exe), which the prompt waits for: it starts the windowed
// program beside it with the same arguments, passes its standard output and
// error on, and ends with its exit code. Double-clicking the .exe is unchanged.
#include <windows.h>

#include <string>

namespace {

// The companion's command line after its own name, exactly as typed, quotes
// and all, so that the program reads the same arguments. The name ends where
// CommandLineToArgvW ends it: at its closing quote, else at a space or tab.
const wchar_t* ArgumentsAsTyped(const wchar_t* commandLine)
{
    const wchar_t* at = commandLine;
    if (*at == L'"') {
        for (++at; *at != L'\0' && *at != L'"'; ++at) {
        }
        return *at == L'"' ? at + 1 : at;
    }
    while (*at != L'\0' && *at != L' ' && *at != L'\t') {
        ++at;
    }
    return at;
}

// This file's own path with ".exe" in place of ".com".
std::wstring ProgramBeside()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t dot = path.find_last_of(L'.');
    const size_t separator = path.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator)) {
        path.resize(dot);
    }
    return path + L".exe";
}

void WriteAll(HANDLE to, const char* bytes, DWORD count)
{
    DWORD written = 0;
    while (count > 0 && WriteFile(to, bytes, count, &written, nullptr) && written > 0) {
        bytes += written;
        count -= written;
    }
}

// Passes on whatever the pipe holds now, without waiting for more.
void Relay(HANDLE pipe, HANDLE to)
{
    DWORD available = 0;
    char buffer[4096];
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD read = 0;
        const DWORD wanted = available < sizeof(buffer) ? available : static_cast<DWORD>(sizeof(buffer));
        if (!ReadFile(pipe, buffer, wanted, &read, nullptr) || read == 0) {
            return;
        }
        WriteAll(to, buffer, read);
    }
}

DWORD programId = 0;

BOOL CALLBACK CloseProgramWindow(HWND window, LPARAM)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == programId) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Ctrl+C, Ctrl+Break or a closed console: the program is asked to close its
// windows, as a person closing them would (a command-line benchmark then ends
// with 3), and the companion waits for its exit code.
BOOL WINAPI OnConsoleControl(DWORD)
{
    EnumWindows(CloseProgramWindow, 0);
    return TRUE;
}

void Say(const std::string& text)
{
    WriteAll(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()));
}

}  // namespace

int wmain()
{
    const std::wstring program = ProgramBeside();
    std::wstring commandLine = L"\"" + program + L"\"" + ArgumentsAsTyped(GetCommandLineW());

    // The program writes into two pipes whose other ends stay here; its
    // standard input is the companion's own.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outputRead = nullptr, outputWrite = nullptr, errorRead = nullptr, errorWrite = nullptr;
    if (!CreatePipe(&outputRead, &outputWrite, &inheritable, 0) || !CreatePipe(&errorRead, &errorWrite, &inheritable, 0)) {
        Say("OrvalisBench: no pipe for the program's output (error " + std::to_string(GetLastError()) + ")\n");
        return 1;
    }
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errorRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = nullptr;
    const HANDLE ownInput = GetStdHandle(STD_INPUT_HANDLE);
    if (ownInput != nullptr && ownInput != INVALID_HANDLE_VALUE) {
        DuplicateHandle(GetCurrentProcess(), ownInput, GetCurrentProcess(), &input, 0, TRUE, DUPLICATE_SAME_ACCESS);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outputWrite;
    startup.hStdError = errorWrite;
    PROCESS_INFORMATION started{};
    const BOOL running =
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
    const DWORD startError = GetLastError();
    CloseHandle(outputWrite);
    CloseHandle(errorWrite);
    if (input != nullptr) {
        CloseHandle(input);
    }
    if (!running) {
        Say("OrvalisBench: the program beside this one could not be started (error " + std::to_string(startError) + ")\n");
        return 1;
    }
    CloseHandle(started.hThread);
    programId = started.dwProcessId;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);

    // Whatever the program writes is passed on as it comes; once it has
    // ended, what is left in the pipes is, and nothing is waited for (a
    // process the program started may still hold the pipes open).
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(started.hProcess, 10) != WAIT_TIMEOUT;
        Relay(outputRead, output);
        Relay(errorRead, error);
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(started.hProcess, &exitCode);
    CloseHandle(started.hProcess);
    return static_cast<int>(exitCode);
}
