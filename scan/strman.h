// TStringManager: a set of distinct 8-bit strings in a hash table, whose entries come from a
// pool of fixed-size records (TStringFreeList). Callers add strings, attach their own Tag and
// Data, then walk the entries in bucket order (First) or sorted by a comparator (Sort).
// Every instance is used by one thread only; Lock and Unlock are hooks that do nothing here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel {

class TStringManager;

struct StrEntry {
  char* Str;              // owned heap copy, or the caller's pointer with SM_NOCOPY; null in sentinels
  StrEntry* ChainNext;    // next entry of the bucket; links free entries while in a pool
  StrEntry* ListNext;     // next entry of the iteration list
  uint32_t Tag;           // caller's flags; 0 when made
  int32_t RefCount;       // 1 when made, +1 each time Find meets the string again
  void* Data;             // caller's pointer; null when made
  TStringManager* Owner;  // the list that holds the entry
};

// Flags of the constructor.
inline constexpr int SM_NOCOPY = 8;        // strings are neither copied nor freed
inline constexpr int SM_HEAPENTRIES = 16;  // every entry is a heap block of its own; no pool

// Nonzero when a must come before b. Must be a strict ordering.
using TSortCompare = int (*)(StrEntry* a, StrEntry* b, int32_t param);

// A pool of entries of one size. It only grows while it exists; destroying it returns every
// block it took from the heap.
class TStringFreeList {
 public:
  TStringFreeList() = default;
  TStringFreeList(const TStringFreeList&) = delete;
  TStringFreeList& operator=(const TStringFreeList&) = delete;
  virtual ~TStringFreeList();

  virtual void Lock() {}
  virtual void Unlock() {}

  // One zero-filled entry of `entrysize` bytes (> 0). The first call fixes the size; a later
  // call with another size fails the check "EntrySize==entrysize". An empty pool grows by one
  // heap block of `count` entries (at least 1), handed out last slot first. Slots are
  // pointer-aligned and at least two pointers long, since a free entry is chained through its
  // second word.
  void* Get(int entrysize, int count);
  // Gives an entry back to the pool.
  void Put(void* entry);

  void* Head = nullptr;  // first free entry, chained through the entry's second word
  int32_t EntrySize = 0;
  int32_t Blocks = 0;

 private:
  void* BlockList = nullptr;  // every heap block, chained through its first word, for destruction
};

class TStringManager {
 public:
  // 2^`bits` buckets (0 < bits < 31) and entries of `entry_size` bytes (> 0). An entry is never
  // smaller than a StrEntry: a smaller `entry_size` (such as 28, one StrEntry on a 32-bit
  // platform) is raised to sizeof(StrEntry), and EntrySize holds the size in use. Callers that
  // want room after the fields pass sizeof(StrEntry) plus that room.
  // With `pool` null the list makes a pool of its own and destroys it with itself; a given pool
  // stays the caller's, must outlive the list, and gets every entry back when the list goes.
  // Every list sharing a pool must use the same EntrySize ("EntrySize==entrysize").
  // The table and the 2^bits bucket sentinels are made here (1024 with 10 bits).
  TStringManager(int entry_size, int bits, int flags, TStringFreeList* pool);
  TStringManager(const TStringManager&) = delete;
  TStringManager& operator=(const TStringManager&) = delete;
  virtual ~TStringManager();

  virtual void Lock() {}
  virtual void Unlock() {}
  // Marks the iteration list stale.
  virtual void Invalidate();
  // Releases one entry (and its string when freeString is nonzero) to its source.
  virtual void FreeEntry(StrEntry* entry, int freeString);

  // The entry holding `str`, made if new (the string is copied unless SM_NOCOPY, so the caller
  // may reuse its buffer at once). An existing string's RefCount goes up by one and the
  // iteration list stays valid; a new string stands first in its bucket and makes the list
  // stale. Null for null, with nothing changed. The entry lives until Clear or destruction.
  // Memory that cannot be allocated (entry, string copy, table, sort index) throws
  // std::bad_alloc and leaves the list as it was: a caller such as the scan runs out of memory
  // gracefully instead of failing a check.
  StrEntry* Add(const char* str);
  // The entry whose string equals `str` byte for byte (its RefCount goes up by one), or null.
  // `bucketOut`, when given, receives the bucket's sentinel. `str` must not be null.
  StrEntry* Find(const char* str, StrEntry** bucketOut = nullptr);
  // Releases every entry; the table stays.
  void Clear();
  // Head of the iteration list (walk it along ListNext), rebuilt in bucket order when stale,
  // newest first within a bucket; null when empty. Also recounts Count.
  StrEntry* First();
  // Sorts the iteration list by `compare` with `param` (null `compare`: DefaultStrCompare) and
  // returns its head; null when empty. The sort is not stable. A walk of the list must end
  // before the next Add of a new string, Clear or destruction.
  StrEntry* Sort(int32_t param, TSortCompare compare);

  int32_t Bits;
  uint32_t Mask;
  int32_t TableSize;
  int32_t EntrySize;
  int32_t BlockCount;
  uint32_t Flags;
  int32_t Count;
  uint32_t ListValid;
  int32_t SortParam;
  TSortCompare SortCompare;
  TStringFreeList* FreeList;
  StrEntry** SortIdx;
  StrEntry** Table;
  StrEntry* ListHead;

 private:
  StrEntry* NewEntry();
  void QuickSort(int lo, int hi);
  // The buckets Clear and First must visit, in ascending order; all of them once many are used.
  template <typename TVisit>
  void ForEachUsedBucket(TVisit visit);
  bool OwnsPool;
  // Buckets that have held an entry since the last Clear, while they are few: a list of a
  // folder's dozen names should not cost a walk over a thousand buckets.
  std::vector<int32_t> UsedBuckets;
  bool ManyUsed = false;
};

// The default comparator: 1 when a's string is smaller in unsigned byte order, else 0.
int DefaultStrCompare(StrEntry* a, StrEntry* b, int32_t param);

}  // namespace ostrel
