// Every web location the program opens. They live under a reserved example domain so that no
// third party's site is ever opened by accident.
#pragma once

namespace ostrel {

inline constexpr const char* MakerHomePage = "https://www.pelworth.example/";
inline constexpr const char* ProgramPage = "https://www.pelworth.example/ostrel/";

}  // namespace ostrel
