// The string hash of the pooled string list.
#pragma once
#include <cstdint>

namespace ostrel {

// Hashes the bytes of `name` up to its NUL, starting from `seed`:
// h = ((h >> 15) + (h << 1)) ^ T[byte] for each byte, in 32-bit unsigned arithmetic.
// `name` must not be null (checked: "name"). HashName("abc", 0) is 0xFFFEFDED.
uint32_t HashName(const char* name, uint32_t seed);

}  // namespace ostrel
