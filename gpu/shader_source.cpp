#include "gpu/shader_source.h"

#include <sstream>
#include <stdexcept>
#include <system_error>

std::filesystem::path ShaderPathBeside(const std::filesystem::path& executablePath)
{
    return executablePath.parent_path() / kShaderFileName;
}

void RequireShaderFile(const std::filesystem::path& shaderPath)
{
    std::error_code error;
    const bool present = std::filesystem::exists(shaderPath, error);
    if (error) {
        throw std::filesystem::filesystem_error("exists", shaderPath, error);
    }
    if (!present) {
        throw std::runtime_error("orvalis_shaders.hlsl not found next to the executable");
    }
}

std::string CompileFailureText(const char* entryPoint, const std::string& compilerMessages)
{
    std::string text = std::string("Failed to compile ") + entryPoint;
    std::istringstream lines(compilerMessages);
    std::string line;
    int shown = 0;
    int more = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (shown < kCompileMessageLines) {
            text += "\n" + line;
            ++shown;
        } else {
            ++more;
        }
    }
    if (more > 0) {
        text += "\n(" + std::to_string(more) + " more lines in the debugger output)";
    }
    return text;
}
