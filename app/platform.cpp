#include "app/platform.h"

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
