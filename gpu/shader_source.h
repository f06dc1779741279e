#pragma once
// The compute-shader source file beside the executable: finding it, and the
// texts of its failures.
#include <filesystem>
#include <string>

inline constexpr const char* kShaderFileName = "orvalis_shaders.hlsl";

// The directory of the executable at `executablePath`, joined with the shader file name.
std::filesystem::path ShaderPathBeside(const std::filesystem::path& executablePath);

// Throws "orvalis_shaders.hlsl not found next to the executable" when no file
// is there. A check that fails for another reason throws the file-system
// error of the "exists" operation.
void RequireShaderFile(const std::filesystem::path& shaderPath);

// "Failed to compile <entry point>", then the first lines of the compiler's
// messages (at most kCompileMessageLines, and a line that says how many more
// the debugger output holds).
inline constexpr int kCompileMessageLines = 10;
std::string CompileFailureText(const char* entryPoint, const std::string& compilerMessages);
