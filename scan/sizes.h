// Byte counts as the tree holds them: 64-bit unsigned, exact to the byte. Sums never wrap: a
// total that would pass MaxBytes stays at MaxBytes (saturates) and the caller is told, so that
// a capped total can be shown as capped rather than as a smaller number or a rounded one.
#pragma once
#include <cstdint>

namespace ostrel {

// The largest count, 2^64 - 1: where saturated totals stop.
inline constexpr uint64_t MaxBytes = UINT64_MAX;

// `total` + `add`; MaxBytes when the true sum is larger, and `saturated` is then set (it is
// never cleared, so one flag can gather a whole tree's sums).
inline uint64_t AddBytes(uint64_t total, uint64_t add, bool& saturated) {
  uint64_t sum = 0;
  if (__builtin_add_overflow(total, add, &sum)) {
    saturated = true;
    return MaxBytes;
  }
  return sum;
}

// The same where nobody needs to know.
inline uint64_t AddBytes(uint64_t total, uint64_t add) {
  bool saturated = false;
  return AddBytes(total, add, saturated);
}

// `total` - `part`, or 0 when `part` is larger (a saturated total may hold less than its
// parts' sum claims).
inline uint64_t LessBytes(uint64_t total, uint64_t part) { return total > part ? total - part : 0; }

// How a count changed from `then` to `now`: by how many bytes, and which way. A difference
// of two counts may need 65 bits, so the sign is kept apart.
struct TByteChange {
  uint64_t Bytes = 0;
  bool Shrank = false;  // now < then
  bool operator==(const TByteChange&) const = default;
};

inline TByteChange ChangeOf(uint64_t then, uint64_t now) {
  return now >= then ? TByteChange{now - then, false} : TByteChange{then - now, true};
}

}  // namespace ostrel
