#include "app/output_folder.h"

#include <fstream>
#include <system_error>

#include "app/command_line.h"

namespace {

std::string Printable(const std::filesystem::path& folder)
{
    std::string text;
    for (wchar_t ch : folder.wstring()) {
        text += (ch >= 32 && ch < 127) ? static_cast<char>(ch) : '?';
    }
    return text;
}

OutputFolderCheck Problem(const std::filesystem::path& folder, const std::string& what)
{
    return {exit_code::kFilesNotWritten, "OrvalisBench: the output folder \"" + Printable(folder) + "\" " + what + "\n"};
}

// A name in the folder that nothing has yet.
std::filesystem::path FreeProbeName(const std::filesystem::path& folder)
{
    std::error_code error;
    for (int n = 0;; ++n) {
        std::filesystem::path probe = folder / ("orvalis_write_check_" + std::to_string(n) + ".tmp");
        if (!std::filesystem::exists(probe, error)) {
            return probe;
        }
    }
}

}  // namespace

OutputFolderCheck PrepareOutputFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        return Problem(folder, "cannot be created" + (error ? " (" + error.message() + ")" : std::string()));
    }
    const std::filesystem::path probe = FreeProbeName(folder);
    bool written = false;
    {
        std::ofstream file(probe, std::ios::binary);
        file.write("x", 1);
        file.close();
        written = !file.fail();
    }
    std::filesystem::remove(probe, error);
    if (!written) {
        return Problem(folder, "cannot be written; --output DIR chooses another");
    }
    return {};
}
