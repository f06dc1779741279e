#include "app/platform.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

NullPlatform& NullPlatform::Instance()
{
    static NullPlatform instance;
    return instance;
}

std::tm NullPlatform::LocalTime()
{
    std::time_t now = std::time(nullptr);
    std::tm result{};
#ifdef _WIN32
    localtime_s(&result, &now);
#else
    localtime_r(&now, &result);
#endif
    return result;
}

void DebugLog(Platform& platform, std::size_t bufferSize, const char* format, ...)
{
    std::vector<char> buffer(bufferSize, '\0');
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    platform.DebugOutput(buffer.data());
}
