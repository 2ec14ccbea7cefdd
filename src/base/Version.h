#pragma once

namespace gw {

/** The program's version, as its title, its window captions and --version show it. */
inline constexpr char kVersion[] = "1.0";

} // namespace gw
