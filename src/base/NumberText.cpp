#include "base/NumberText.h"

namespace gw {

std::string NumberText(std::int64_t number)
{
    // std::to_string already writes the minus sign; only the blank for the others is ours.
    return number < 0 ? std::to_string(number) : " " + std::to_string(number);
}

} // namespace gw
