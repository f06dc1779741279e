// Entry point of OrvalisBench.exe: the command line, start-up, the frame loop
// and tear-down.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <string_view>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"
#include "app/commands.h"
#include "app/compare_command.h"
#include "app/frame_loop.h"
#include "app/gpu_commands.h"
#include "app/main_window.h"
#include "app/output_folder.h"
#include "app/win32_platform.h"
#include "bench/benchmark.h"
#include "bench/stress.h"
#include "game/levels.h"
#include "gpu/adapter_choice.h"
#include "gpu/d3d_backend.h"
#include "ui/control_panel.h"
#include "ui/startup_dialog.h"

namespace {

void Initialize(App& app, HINSTANCE instance, AppBinding& binding, PanelHost& panelHost,
                const StartupConfiguration& startup)
{
    if (CreateMainWindow(app, instance) == nullptr) {
        throw std::runtime_error("Failed to create the main window (error " + std::to_string(GetLastError()) + ")");
    }
    binding.Bind(app);
    // Windows cuts a window that does not fit the screen: the frames are drawn
    // at the size it got, not at the size asked for.
    RECT client{};
    if (GetClientRect(static_cast<HWND>(app.mainWindow), &client) && client.right > 0 && client.bottom > 0) {
        app.width = static_cast<uint32_t>(client.right);
        app.height = static_cast<uint32_t>(client.bottom);
    }

    CreateGpuForMainWindow(app);
    CreateControlPanel(panelHost, static_cast<HWND>(app.mainWindow), instance);
    CreatePipelines(app.gpu);

    const StartRequests& start = app.start;
    if (start.benchmarkAtStart && start.deterministic) {
        LoadLevel(app, kZivoLevel);
        app.world.random.Seed(kDeterministicSeed);
    } else {
        LoadLevel(app, 0);
    }
    ResetBallOnPaddle(app.world);
    app.timing.lastFrameTime = app.platform->ClockNanoseconds();

    if (start.benchmarkAtStart) {
        StartConfiguredBenchmark(app, startup.width, startup.height, startup.debrisCount, start.singleRun,
                                 start.deterministic, start.stressLoops, start.testLoopSeconds);
        app.start.benchmarkAtStart = false;
    }
}

// The arguments after the program's name.
std::vector<std::wstring> ProgramArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            arguments.emplace_back(argv[i]);
        }
        LocalFree(argv);
    }
    return arguments;
}

bool UsableHandle(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Text for whoever started the program, never in a box: with no console and
// no streams (a scheduler, a service) nobody would close it. A Windows GUI
// program has no console of its own: its standard stream when that leads
// somewhere (a pipe, a file, a terminal), else the parent's console. Errors
// also go to the debugger output, other text only when nothing else took it.
void TellStarter(const std::string& text, bool error)
{
    if (error) {
        OutputDebugStringA(text.c_str());
    }
    HANDLE stream = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    HANDLE console = nullptr;
    if (!UsableHandle(stream) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        stream = console;
    }
    DWORD written = 0;
    if (UsableHandle(stream) && WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        if (console != nullptr && console != INVALID_HANDLE_VALUE) {
            CloseHandle(console);
        }
        return;
    }
    if (!error) {
        OutputDebugStringA(text.c_str());
    }
}

// --compare: no window, no GPU, no box; the table and any message go to the
// starter's streams and the exit code says how it went.
int RunComparison(const std::vector<std::wstring>& arguments)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    CompareCommandResult result;
    try {
        result = RunCompareCommand(arguments, local);
    } catch (const std::exception& e) {
        result.exitCode = exit_code::kFatalError;
        result.errors = std::string("Fatal error: ") + e.what() + "\n";
    }
    if (!result.output.empty()) {
        TellStarter(result.output, false);
    }
    if (!result.errors.empty()) {
        TellStarter(result.errors, true);
    }
    return result.exitCode;
}

// --list-adapters: the system's adapters on standard output; no window, no device.
int ListAdaptersCommand()
{
    try {
        TellStarter(AdapterListText(ListAdapters()), false);
        return exit_code::kSuccess;
    } catch (const std::exception& e) {
        TellStarter(std::string("Fatal error: ") + e.what() + "\n", true);
        return exit_code::kFatalError;
    }
}

// The adapter to measure: the one --adapter names, else the default. Known
// before any window (the startup window names it). Without DXGI the system
// lists none, and creating the device says why.
AdapterSelection ChooseAdapter(const CommandLine& commandLine)
{
    try {
        return SelectAdapter(ListAdapters(), commandLine.adapter);
    } catch (const std::exception&) {
        return SelectAdapter(AdapterList{}, commandLine.adapter);
    }
}

// As a command-line run ends, on every path, it says what it measured and
// where the files went (CommandLineSummary).
struct SummaryForStarter {
    const App& app;
    ~SummaryForStarter()
    {
        if (!app.start.unattended) {
            return;
        }
        try {
            std::error_code error;
            const StarterText text = CommandLineSummary(app.bench, std::filesystem::current_path(error));
            if (!text.output.empty()) {
                TellStarter(text.output, false);
            }
            if (!text.errors.empty()) {
                TellStarter(text.errors, true);
            }
        } catch (const std::exception&) {
            // Nothing more can be said; the exit code still says how the run ended.
        }
    }
};

// ORVALIS_TEST_LOOP_SECONDS, for a stress test only: the loop length the
// tests ask for, 0 when the variable is not set (or empty); nothing when its
// value is not a length the test can take (`error` says why).
std::optional<int32_t> TestLoopSeconds(const CommandLine& commandLine, std::string& error)
{
    if (commandLine.stressLoops == 0) {
        return 0;
    }
    const std::string_view name = kTestLoopSecondsVariable;
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(std::wstring(name.begin(), name.end()).c_str(), value, 16);
    if (length == 0) {
        return 0;
    }
    std::string typed;  // as ASCII, for the message
    for (const wchar_t* ch = value; length < 16 && *ch != L'\0'; ++ch) {
        typed += *ch >= 32 && *ch < 127 ? static_cast<char>(*ch) : '?';
    }
    BenchmarkConfig config;
    config.deterministic = commandLine.config.deterministic;
    return ParseTestLoopSeconds(length < 16 ? typed : "(16 characters or more)", RunSeconds(config), error);
}

int RunProgram(HINSTANCE instance, const CommandLine& commandLine, const AdapterSelection& adapter,
               int32_t testLoopSeconds)
{
    Win32Platform platform;
    App app(platform);
    AppBinding binding;  // declared after the App: theApp is cleared before the App is destroyed
    SummaryForStarter summary{app};
    platform.Attach(&app);
    app.gpu.adapterIndex = adapter.index;
    app.bench.adapter = MeasuredAdapter{adapter.name, adapter.index, adapter.asked};

    StartupConfiguration startup;
    if (commandLine.action == CommandLine::Action::Benchmark) {
        startup = commandLine.config;
        ApplyStartupConfiguration(app, startup);
        app.start.unattended = true;
        app.start.exitCode = exit_code::kNotCompleted;
        app.bench.frameLog.enabled = commandLine.frameLog;
        app.start.stressLoops = commandLine.stressLoops;
        app.start.testLoopSeconds = testLoopSeconds;
        platform.SetUnattended(true);
        const std::string line = ConfigLogLine(commandLine.choice, commandLine.stressLoops);
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    } else if (const std::optional<StartupConfiguration> chosen = ShowStartupDialog(instance, AdapterLine(adapter.name))) {
        startup = *chosen;
        ApplyStartupConfiguration(app, startup);
    } else {
        return 0;
    }
    try {
        Initialize(app, instance, binding, platform, startup);
        RethrowWindowProcedureFailure();
    } catch (const std::exception&) {
        RethrowNamingDeviceLoss(app);  // a device lost this early still names its reason
    }
    RunMessageLoop(app);
    return app.start.unattended ? app.start.exitCode : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    MakeProcessDpiAware();
    if (const std::vector<std::wstring> arguments = ProgramArguments(); IsCompareCommand(arguments)) {
        return RunComparison(arguments);
    }
    const CommandLine commandLine = ParseCommandLine(ProgramArguments());
    const bool unattended = commandLine.action == CommandLine::Action::Benchmark;
    AdapterSelection adapter;
    int32_t testLoopSeconds = 0;
    switch (commandLine.action) {
    case CommandLine::Action::Help:
        TellStarter(CommandLineHelp(), false);
        return 0;
    case CommandLine::Action::Error:
        TellStarter("OrvalisBench: " + commandLine.error + "\nSee OrvalisBench.exe --help.\n", true);
        return exit_code::kBadArguments;
    case CommandLine::Action::ListAdapters: return ListAdaptersCommand();
    case CommandLine::Action::Benchmark: {
        adapter = ChooseAdapter(commandLine);  // an adapter that is not there ends it before anything is made
        if (!adapter.error.empty()) {
            TellStarter("OrvalisBench: " + adapter.error + "\nSee OrvalisBench.exe --list-adapters.\n", true);
            return exit_code::kBadArguments;
        }
        {
            std::string error;
            const std::optional<int32_t> seconds = TestLoopSeconds(commandLine, error);
            if (!seconds) {
                TellStarter("OrvalisBench: " + error + "\n", true);
                return exit_code::kBadArguments;
            }
            testLoopSeconds = *seconds;
        }
        // The report and results go there (--output, else the current
        // folder): a folder that cannot take them ends the program now, not
        // after the whole benchmark.
        std::error_code error;
        const std::filesystem::path folder = commandLine.outputDirectory.empty()
                                                 ? std::filesystem::current_path(error)
                                                 : std::filesystem::path(commandLine.outputDirectory);
        const OutputFolderCheck check = PrepareOutputFolder(folder);
        if (check.exitCode != exit_code::kSuccess) {
            TellStarter(check.message, true);
            return check.exitCode;
        }
        if (!SetCurrentDirectoryW(folder.c_str())) {
            TellStarter("OrvalisBench: the output folder cannot be made the current folder (error " +
                            std::to_string(GetLastError()) + ")\n",
                        true);
            return exit_code::kFilesNotWritten;
        }
        break;
    }
    case CommandLine::Action::Interactive: adapter = ChooseAdapter(commandLine); break;
    }
    try {
        return RunProgram(instance, commandLine, adapter, testLoopSeconds);
    } catch (const std::exception& e) {
        // The App is gone by now; theApp was cleared before it went.
        if (unattended) {
            TellStarter(std::string("Fatal error: ") + e.what() + "\n", true);
            return exit_code::kFatalError;
        }
        ShowFatalError(e.what());
    }
    return 0;
}
