#include "fake_platform.h"

#include <algorithm>
#include <iterator>

std::vector<std::string> RecordingPlatform::LinesStartingWith(const std::string& prefix) const
{
    std::vector<std::string> result;
    std::copy_if(log.begin(), log.end(), std::back_inserter(result),
                 [&prefix](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    return result;
}
