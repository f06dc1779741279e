// A stand-in d3dcompiler_47.dll for running the program under Wine, whose own
// HLSL compiler cannot compile the program's compute shaders. It implements
// what the program imports (D3DCompileFromFile, returning ID3DBlob objects) by
// running the native vkd3d-compiler on the file and returning its DXBC, or its
// messages in the error blob. It is part of the run and test tooling only; the
// program does not know it exists.
#include <windows.h>

#include <d3dcommon.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class Blob final : public ID3DBlob {
public:
    explicit Blob(std::string bytes) : bytes_(std::move(bytes)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(ID3D10Blob))) {
            *object = static_cast<ID3DBlob*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return bytes_.size(); }

private:
    std::string bytes_;
    std::atomic<ULONG> references_{1};
};

void GiveBlob(ID3DBlob** out, std::string bytes)
{
    if (out != nullptr) {
        *out = new Blob(std::move(bytes));
    }
}

using UnixNameFn = char*(CDECL*)(LPCWSTR);
using DosNameFn = WCHAR*(CDECL*)(const char*);

// Wine's own path conversions, found at run time.
std::string UnixPath(const std::wstring& windowsPath)
{
    static const auto convert = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) {
        return {};
    }
    char* unixName = convert(windowsPath.c_str());
    if (unixName == nullptr) {
        return {};
    }
    std::string result(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

std::wstring DosPath(const std::string& unixPath)
{
    static const auto convert = reinterpret_cast<DosNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (convert == nullptr) {
        return {};
    }
    WCHAR* dosName = convert(unixPath.c_str());
    if (dosName == nullptr) {
        return {};
    }
    std::wstring result(dosName);
    HeapFree(GetProcessHeap(), 0, dosName);
    return result;
}

std::string ReadFile(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Quotes a path for /bin/sh.
std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char ch : text) {
        if (ch == '\'') {
            quoted += "'\\''";
        } else {
            quoted += ch;
        }
    }
    return quoted + "'";
}

bool UsesInclude(const std::string& source)
{
    std::istringstream lines(source);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line.compare(first, 8, "#include") == 0) {
            return true;
        }
    }
    return false;
}

std::atomic<unsigned> callCounter{0};

constexpr DWORD kCompileLimitMs = 300000;

// Removes the files of one compilation when the call ends.
struct TemporaryFiles {
    std::vector<std::string> unixPaths;
    ~TemporaryFiles()
    {
        for (const std::string& path : unixPaths) {
            DeleteFileW(DosPath(path).c_str());
        }
    }
};

// True once the shell that runs the compiler has written its process id and
// that process no longer exists.
bool ShellEnded(const std::string& pidFile)
{
    const std::string text = ReadFile(DosPath(pidFile));
    const long id = std::atol(text.c_str());
    if (id <= 0) {
        return false;  // not started yet (or still writing its id)
    }
    return GetFileAttributesW(DosPath("/proc/" + std::to_string(id)).c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI D3DCompileFromFile(LPCWSTR fileName, const D3D_SHADER_MACRO* defines,
                                                                   ID3DInclude* include, LPCSTR entryPoint,
                                                                   LPCSTR target, UINT, UINT, ID3DBlob** code,
                                                                   ID3DBlob** errors)
{
    if (code != nullptr) {
        *code = nullptr;
    }
    if (errors != nullptr) {
        *errors = nullptr;
    }
    if (fileName == nullptr || entryPoint == nullptr || target == nullptr || code == nullptr) {
        return E_INVALIDARG;
    }
    const DWORD attributes = GetFileAttributesW(fileName);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    const std::string source = UnixPath(fileName);
    if (source.empty()) {
        GiveBlob(errors, "d3dcompiler stand-in: this compiler runs only under Wine\n");
        return E_NOTIMPL;
    }
    if (include == nullptr && UsesInclude(ReadFile(fileName))) {
        GiveBlob(errors, source + ": error X1507: #include is not allowed: no include handler was given\n");
        return E_FAIL;
    }

    wchar_t tempDir[MAX_PATH + 1];
    GetTempPathW(MAX_PATH, tempDir);
    const std::string unixTemp = UnixPath(tempDir);
    char stem[96];
    std::snprintf(stem, sizeof(stem), "/orvalis-hlsl-%lu-%u-%lu", GetCurrentProcessId(), callCounter.fetch_add(1),
                  GetTickCount());
    const std::string base = unixTemp + stem;
    const std::string output = base + ".cso";
    const std::string log = base + ".log";
    const std::string status = base + ".status";
    const std::string pid = base + ".pid";
    const std::string script = base + ".sh";
    // Every file of this call goes, whichever way the call ends.
    const TemporaryFiles temporaries{{output, log, status, status + ".tmp", pid, pid + ".tmp", script, base + ".hlsl"}};

    // Macro definitions reach the compiler through a wrapper that defines them
    // and then includes the source.
    std::string compiled = source;
    if (defines != nullptr && defines->Name != nullptr) {
        std::string wrapper;
        for (const D3D_SHADER_MACRO* m = defines; m->Name != nullptr; ++m) {
            wrapper += std::string("#define ") + m->Name + " " + (m->Definition ? m->Definition : "") + "\n";
        }
        wrapper += "#include \"" + source + "\"\n";
        compiled = base + ".hlsl";
        std::ofstream(DosPath(compiled).c_str(), std::ios::binary) << wrapper;
    }

    // The shell writes its process id first, so that its end is noticed even
    // when it is killed before it can write the compiler's exit status.
    std::ostringstream sh;
    sh << "echo $$ >" << ShellQuote(pid + ".tmp") << " && mv " << ShellQuote(pid + ".tmp") << " " << ShellQuote(pid) << "\n"
       // Included files are found beside the source, as the standard include handler finds them.
       << "cd " << ShellQuote(source.substr(0, source.find_last_of('/') + 1)) << " || exit 1\n"
       << "vkd3d-compiler -x hlsl -p " << ShellQuote(target) << " -b dxbc-tpf -e " << ShellQuote(entryPoint) << " -o "
       << ShellQuote(output) << " -- " << ShellQuote(compiled) << " >" << ShellQuote(log) << " 2>&1\n"
       << "echo $? >" << ShellQuote(status + ".tmp") << "\n"
       << "mv " << ShellQuote(status + ".tmp") << " " << ShellQuote(status) << "\n";
    std::ofstream(DosPath(script).c_str(), std::ios::binary) << sh.str();

    // Wine starts native programs by their Unix path but hands back no process
    // handle to wait on: the script reports its exit status in a file instead.
    std::wstring commandLine = L"/bin/sh " + std::wstring(script.begin(), script.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        GiveBlob(errors, "d3dcompiler stand-in: could not start /bin/sh for vkd3d-compiler\n");
        return E_FAIL;
    }

    const std::wstring statusDos = DosPath(status);
    const DWORD started = GetTickCount();
    for (;;) {
        if (GetFileAttributesW(statusDos.c_str()) != INVALID_FILE_ATTRIBUTES) {
            break;
        }
        if (ShellEnded(pid)) {
            // Checked once more: the status may have landed just before the end.
            if (GetFileAttributesW(statusDos.c_str()) != INVALID_FILE_ATTRIBUTES) {
                break;
            }
            GiveBlob(errors, "d3dcompiler stand-in: vkd3d-compiler ended without an exit status (it was killed)\n");
            return E_FAIL;
        }
        if (GetTickCount() - started > kCompileLimitMs) {
            GiveBlob(errors, "d3dcompiler stand-in: vkd3d-compiler did not finish within 300 s\n");
            return E_FAIL;
        }
        Sleep(2);
    }
    const int exitCode = std::atoi(ReadFile(statusDos).c_str());
    std::string messages = ReadFile(DosPath(log));
    std::string dxbc = exitCode == 0 ? ReadFile(DosPath(output)) : std::string();
    if (exitCode != 0 || dxbc.empty()) {
        if (messages.empty()) {
            messages = "vkd3d-compiler failed with exit status " + std::to_string(exitCode) + "\n";
        }
        GiveBlob(errors, messages);
        return E_FAIL;
    }
    if (!messages.empty()) {
        GiveBlob(errors, messages);  // warnings
    }
    GiveBlob(code, std::move(dxbc));
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI D3DCreateBlob(SIZE_T size, ID3DBlob** blob)
{
    if (blob == nullptr) {
        return E_POINTER;
    }
    *blob = new Blob(std::string(size, '\0'));
    return S_OK;
}
