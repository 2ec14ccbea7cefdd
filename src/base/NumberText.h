#pragma once

#include <cstdint>
#include <string>

namespace gw {

/** A whole number as status and log texts show it: one leading blank when it is 0 or more, "-" when negative. */
std::string NumberText(std::int64_t number);

} // namespace gw
