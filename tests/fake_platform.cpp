#include "fake_platform.h"

RecordingPlatform::RecordingPlatform()
{
    now.tm_year = 2026 - 1900;
    now.tm_mon = 11;
    now.tm_mday = 6;
    now.tm_hour = 14;
    now.tm_min = 5;
    now.tm_sec = 9;
}

std::vector<std::string> RecordingPlatform::LinesStartingWith(const std::string& prefix) const
{
    std::vector<std::string> result;
    for (const std::string& line : log) {
        if (line.rfind(prefix, 0) == 0) {
            result.push_back(line);
        }
    }
    return result;
}
