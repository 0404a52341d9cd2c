// Every web location the program opens. They live under a reserved example domain so that no
// third party's site is ever opened by accident.
#pragma once

namespace ostrel {

inline constexpr const char* MakerHomePage = "https://www.pelworth.example/";
inline constexpr const char* ProgramPage = "https://www.pelworth.example/ostrel/";

// The maker's other products, linked from the about box.
inline constexpr const char* QuillboxPage = "https://www.pelworth.example/quillbox/";
inline constexpr const char* TallyclockPage = "https://www.pelworth.example/tallyclock/";
inline constexpr const char* TwinseekPage = "https://www.pelworth.example/twinseek/";
inline constexpr const char* GlancerPage = "https://www.pelworth.example/glancer/";
inline constexpr const char* TidynamePage = "https://www.pelworth.example/tidyname/";

}  // namespace ostrel
