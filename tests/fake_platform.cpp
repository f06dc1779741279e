#include "fake_platform.h"

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
