#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// printf-style text formatted into a fixed buffer of bufferSize characters,
// as the debugger output receives it: longer text is cut.
inline std::string FormatLogLine(std::size_t bufferSize, const char* format, ...)
{
    std::vector<char> buffer(bufferSize, '\0');
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    return buffer.data();
}
