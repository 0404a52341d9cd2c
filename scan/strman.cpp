#include "scan/strman.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "scan/check.h"
#include "scan/hash.h"

namespace ostrel {

// A free entry is chained through its second word, the same word that is ChainNext in use.
static_assert(offsetof(StrEntry, ChainNext) == sizeof(void*));

namespace {

// Links are read and written through memcpy: pool memory holds entries of any layout.
void* LoadLink(const void* at) {
  void* link;
  std::memcpy(&link, at, sizeof link);
  return link;
}

void StoreLink(void* at, void* link) { std::memcpy(at, &link, sizeof link); }

void* FreeNext(void* entry) { return LoadLink(static_cast<char*>(entry) + sizeof(void*)); }

void SetFreeNext(void* entry, void* next) {
  StoreLink(static_cast<char*>(entry) + sizeof(void*), next);
}

// Slots hold pointers, so they are pointer-aligned (4 bytes on a 32-bit platform), and each
// must be able to carry the free-chain word.
std::size_t SlotStride(int entrysize) {
  constexpr std::size_t align = std::max<std::size_t>(4, alignof(void*));
  const auto wanted = static_cast<std::size_t>(std::max(entrysize, 0));
  const std::size_t size = std::max<std::size_t>(wanted, 2 * sizeof(void*));
  return (size + align - 1) / align * align;
}

// Each block starts with the link of the pool's block list, padded to the slot alignment.
constexpr std::size_t kBlockHeader = std::max<std::size_t>(sizeof(void*), alignof(void*));

}  // namespace

TStringFreeList::~TStringFreeList() {
  while (BlockList != nullptr) {
    void* next = LoadLink(BlockList);
    std::free(BlockList);
    BlockList = next;
  }
}

void* TStringFreeList::Get(int entrysize, int count) {
  Lock();
  if (EntrySize == 0) {
    EntrySize = entrysize;
  } else {
    OSTREL_ASSERT(EntrySize==entrysize);
  }
  if (Head == nullptr) {
    Blocks += 1;
    const std::size_t stride = SlotStride(EntrySize);
    const std::size_t slots = static_cast<std::size_t>(std::max(count, 1));
    void* block = std::malloc(kBlockHeader + stride * slots);
    if (!block) {
      Unlock();
      throw std::bad_alloc();
    }
    StoreLink(block, BlockList);
    BlockList = block;
    char* slot = static_cast<char*>(block) + kBlockHeader;
    for (std::size_t i = 0; i < slots; ++i, slot += stride) {
      SetFreeNext(slot, Head);
      Head = slot;
    }
  }
  void* entry = Head;
  Head = FreeNext(entry);
  Unlock();
  std::memset(entry, 0, static_cast<std::size_t>(std::max(EntrySize, 0)));
  return entry;
}

void TStringFreeList::Put(void* entry) {
  Lock();
  SetFreeNext(entry, Head);
  Head = entry;
  Unlock();
}

TStringManager::TStringManager(int entry_size, int bits, int flags, TStringFreeList* pool) {
  OSTREL_ASSERT(entry_size>0);
  OSTREL_ASSERT(bits>0);
  OSTREL_ASSERT(bits<31);
  Bits = bits;
  TableSize = 1 << bits;
  Mask = static_cast<uint32_t>(TableSize - 1);
  EntrySize = std::max(entry_size, static_cast<int>(sizeof(StrEntry)));
  BlockCount = std::clamp(TableSize / 4, 1, 32);
  OwnsPool = pool == nullptr;
  FreeList = OwnsPool ? new TStringFreeList : pool;
  ListHead = nullptr;
  ListValid = 0;
  Count = 0;
  Flags = static_cast<uint32_t>(flags);
  SortParam = 0;
  SortCompare = nullptr;
  SortIdx = nullptr;
  Table = static_cast<StrEntry**>(
      std::malloc(static_cast<std::size_t>(TableSize) * sizeof(StrEntry*)));
  if (!Table) {
    if (OwnsPool) delete FreeList;
    throw std::bad_alloc();
  }
  for (int i = 0; i < TableSize; ++i) {
    StrEntry* sentinel = NewEntry();
    sentinel->Str = nullptr;
    sentinel->ChainNext = nullptr;
    Table[i] = sentinel;
  }
}

TStringManager::~TStringManager() {
  if (Table != nullptr) {
    if (OwnsPool && !(Flags & SM_HEAPENTRIES)) {
      // The pool goes with the list, so handing its entries back first would change nothing
      // anyone can see (virtual calls here reach this class only); just release the strings.
      if (!(Flags & SM_NOCOPY)) {
        for (int i = 0; i < TableSize; ++i) {
          for (StrEntry* e = Table[i]->ChainNext; e != nullptr; e = e->ChainNext) std::free(e->Str);
        }
      }
    } else {
      Clear();
      const int freeString = (Flags & SM_NOCOPY) ? 0 : 1;
      for (int i = 0; i < TableSize; ++i) FreeEntry(Table[i], freeString);
    }
    std::free(Table);
    Table = nullptr;
  }
  if (OwnsPool) delete FreeList;
  FreeList = nullptr;
}

StrEntry* TStringManager::NewEntry() {
  if (Flags & SM_HEAPENTRIES) {
    void* result = std::calloc(1, static_cast<std::size_t>(EntrySize));
    if (!result) throw std::bad_alloc();
    return static_cast<StrEntry*>(result);
  }
  OSTREL_ASSERT(FreeList!=NULL);
  return static_cast<StrEntry*>(FreeList->Get(EntrySize, BlockCount));
}

void TStringManager::FreeEntry(StrEntry* entry, int freeString) {
  if (freeString && entry->Str != nullptr) {
    std::free(entry->Str);
    entry->Str = nullptr;
  }
  if (Flags & SM_HEAPENTRIES) {
    std::free(entry);
  } else {
    OSTREL_ASSERT(FreeList!=NULL);
    FreeList->Put(entry);
  }
}

void TStringManager::Invalidate() {
  ListHead = nullptr;
  ListValid = 0;
}

StrEntry* TStringManager::Find(const char* str, StrEntry** bucketOut) {
  Lock();
  StrEntry* sentinel = Table[HashName(str, 0) & Mask];
  if (bucketOut != nullptr) *bucketOut = sentinel;
  for (StrEntry* e = sentinel; e != nullptr; e = e->ChainNext) {
    if (e->Str != nullptr && std::strcmp(e->Str, str) == 0) {
      e->RefCount += 1;
      Unlock();
      return e;
    }
  }
  Unlock();
  return nullptr;
}

StrEntry* TStringManager::Add(const char* str) {
  if (str == nullptr) return nullptr;
  StrEntry* sentinel = nullptr;
  if (StrEntry* found = Find(str, &sentinel)) return found;

  char* stored;
  if (Flags & SM_NOCOPY) {
    stored = const_cast<char*>(str);
  } else {
    const std::size_t size = std::strlen(str) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, str, size);
    stored = copy;
  }

  Lock();
  StrEntry* entry;
  try {
    entry = NewEntry();
  } catch (...) {
    Unlock();
    if (!(Flags & SM_NOCOPY)) std::free(stored);
    throw;
  }
  if (!sentinel->ChainNext && !ManyUsed) {
    try {
      if (UsedBuckets.size() >= static_cast<size_t>(TableSize / 8))
        ManyUsed = true;
      else
        UsedBuckets.push_back(static_cast<int32_t>(HashName(str, 0) & Mask));
    } catch (const std::bad_alloc&) {
      ManyUsed = true;  // the full walk needs no list
    }
  }
  entry->Str = stored;
  entry->ChainNext = sentinel->ChainNext;
  sentinel->ChainNext = entry;
  entry->ListNext = nullptr;
  entry->RefCount = 1;
  entry->Tag = 0;
  entry->Owner = this;
  Count += 1;
  Invalidate();
  Unlock();
  return entry;
}

template <typename TVisit>
void TStringManager::ForEachUsedBucket(TVisit visit) {
  if (ManyUsed) {
    for (int i = 0; i < TableSize; ++i) visit(i);
    return;
  }
  std::sort(UsedBuckets.begin(), UsedBuckets.end());
  for (const int32_t i : UsedBuckets) visit(i);
}

void TStringManager::Clear() {
  Lock();
  const int freeString = (Flags & SM_NOCOPY) ? 0 : 1;
  ForEachUsedBucket([&](int i) {
    StrEntry* e = Table[i]->ChainNext;
    while (e != nullptr) {
      StrEntry* next = e->ChainNext;
      FreeEntry(e, freeString);
      e = next;
    }
    Table[i]->ChainNext = nullptr;
  });
  UsedBuckets.clear();
  ManyUsed = false;
  Count = 0;
  Invalidate();
  Unlock();
}

StrEntry* TStringManager::First() {
  Lock();
  if (ListValid) {
    Unlock();
    return ListHead;
  }
  ListHead = nullptr;
  Count = 0;
  StrEntry** tail = &ListHead;
  ForEachUsedBucket([&](int i) {
    for (StrEntry* e = Table[i]->ChainNext; e != nullptr; e = e->ChainNext) {
      e->ListNext = nullptr;
      *tail = e;
      tail = &e->ListNext;
      Count += 1;
    }
  });
  ListValid = 1;
  Unlock();
  return ListHead;
}

StrEntry* TStringManager::Sort(int32_t param, TSortCompare compare) {
  StrEntry* head = First();
  if (Count == 0) return nullptr;

  Lock();
  SortIdx =
      static_cast<StrEntry**>(std::malloc(static_cast<std::size_t>(Count) * sizeof(StrEntry*)));
  if (!SortIdx) {
    Unlock();
    throw std::bad_alloc();
  }
  SortParam = param;
  SortCompare = compare != nullptr ? compare : DefaultStrCompare;
  int n = 0;
  for (StrEntry* e = head; e != nullptr; e = e->ListNext) SortIdx[n++] = e;
  QuickSort(0, Count - 1);
  ListHead = SortIdx[0];
  for (int k = 0; k + 1 < Count; ++k) SortIdx[k]->ListNext = SortIdx[k + 1];
  SortIdx[Count - 1]->ListNext = nullptr;
  ListValid = 1;
  std::free(SortIdx);
  SortIdx = nullptr;
  Unlock();
  return ListHead;
}

void TStringManager::QuickSort(int lo, int hi) {
  // The smaller part recursively, the larger in the loop: the stack stays within log2(Count)
  // levels however the entries come.
  while (lo < hi) {
    StrEntry* const pivot = SortIdx[lo + (hi - lo) / 2];
    int i = lo;
    int j = hi;
    do {
      while (SortCompare(SortIdx[i], pivot, SortParam)) i += 1;
      while (SortCompare(pivot, SortIdx[j], SortParam)) j -= 1;
      if (i <= j) {
        std::swap(SortIdx[i], SortIdx[j]);
        i += 1;
        j -= 1;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) QuickSort(lo, j);
      lo = i;
    } else {
      if (i < hi) QuickSort(i, hi);
      hi = j;
    }
  }
}

int DefaultStrCompare(StrEntry* a, StrEntry* b, int32_t /*param*/) {
  // strcmp orders by unsigned byte values, and a proper prefix first.
  return std::strcmp(a->Str, b->Str) < 0 ? 1 : 0;
}

}  // namespace ostrel
