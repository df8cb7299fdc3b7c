#pragma once

#include <string>
#include <utility>

// How an operation tells its caller why it failed: a result, and the reason in a string the caller may ask for.
namespace trimlark {

// Gives the reason to a caller that asked for one (reason not null) and returns false: `return Fail(reason, "...")`.
bool Fail(std::string* reason, std::string why);

// The same for a result that is not a bool: gives the reason and returns failed.
template <typename Result> Result Fail(std::string* reason, std::string why, Result failed)
{
    Fail(reason, std::move(why));
    return failed;
}

// "first; second", either of them when the other is empty.
std::string JoinRemarks(const std::string& first, const std::string& second);

} // namespace trimlark
