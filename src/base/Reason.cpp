#include "base/Reason.h"

namespace trimlark {

bool Fail(std::string* reason, std::string why)
{
    if (reason)
        *reason = std::move(why);
    return false;
}

std::string JoinRemarks(const std::string& first, const std::string& second)
{
    if (first.empty())
        return second;
    if (second.empty())
        return first;
    return first + "; " + second;
}

} // namespace trimlark
