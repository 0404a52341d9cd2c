// The JSON reader's and writer's working stack (the string being decoded, the nesting of arrays
// and objects), kept under rules of our own, for files from anywhere:
// - it has room from the start, so no pointer is ever moved from null;
// - it grows or throws std::bad_alloc, never goes on past a failed allocation;
// - a string being decoded that passes a limit the caller sets throws TStringTooLong at once,
//   so that a name of a gigabyte in a megabyte of gzip costs the limit, not the gigabyte.
// The reader and the writer are given TParseStackAllocator as their stack allocator: that type
// selects the stack below in place of the library's own, whose first push moves a null pointer.
// Include before either is instantiated with it.
#pragma once
#include <rapidjson/internal/stack.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace ostrel {

// Thrown while a string longer than TParseStackAllocator::StringLimit is being read.
struct TStringTooLong {};

class TParseStackAllocator {
 public:
  static const bool kNeedFree = true;
  // The most bytes a string may have once decoded (the terminating NUL not counted); the
  // caller changes it between strings as the format allows.
  size_t StringLimit = SIZE_MAX - 1;

  // As realloc, but failure throws std::bad_alloc.
  static void* Realloc(void* old, size_t oldSize, size_t newSize);
  static void* Malloc(size_t size) { return Realloc(nullptr, 0, size); }
  static void Free(void* block);
};

}  // namespace ostrel

namespace rapidjson::internal {

// What the reader asks of its stack: Push, Pop, Top, Clear.
template <>
class Stack<ostrel::TParseStackAllocator> {
 public:
  Stack(ostrel::TParseStackAllocator* allocator, size_t capacity);
  ~Stack() { ostrel::TParseStackAllocator::Free(Bottom); }
  Stack(const Stack&) = delete;
  Stack& operator=(const Stack&) = delete;

  template <typename T>
  T* Push(size_t count = 1) {
    if constexpr (std::is_same_v<T, char>) {
      // Only a string being decoded is pushed as chars, whole, then popped whole.
      if (Chars + count > Allocator->StringLimit + 1) throw ostrel::TStringTooLong{};
      Chars += count;
    }
    if (count > static_cast<size_t>(End - Top_) / sizeof(T)) Grow(sizeof(T) * count);
    T* at = reinterpret_cast<T*>(Top_);
    Top_ += sizeof(T) * count;
    return at;
  }
  template <typename T>
  T* Pop(size_t count) {
    if constexpr (std::is_same_v<T, char>) Chars -= count;
    Top_ -= sizeof(T) * count;
    return reinterpret_cast<T*>(Top_);
  }
  template <typename T>
  T* Top() {
    return reinterpret_cast<T*>(Top_ - sizeof(T));
  }
  void Clear() {
    Top_ = Bottom;
    Chars = 0;
  }
  // What the writer asks besides.
  bool Empty() const { return Top_ == Bottom; }
  size_t GetSize() const { return static_cast<size_t>(Top_ - Bottom); }

 private:
  // Room for `more` bytes above the top.
  void Grow(size_t more);

  ostrel::TParseStackAllocator Own;  // when the reader was given none
  ostrel::TParseStackAllocator* Allocator;
  char* Bottom = nullptr;
  char* Top_ = nullptr;
  char* End = nullptr;
  size_t Chars = 0;  // of the string being decoded, its NUL included
};

}  // namespace rapidjson::internal
