// What the device listing's parts share: the state of one file system read from its device,
// and each walk thread's handle on it.
#pragma once
#include <ext2fs/ext2fs.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ext4read.h"

namespace ostrel {

// Memory mapped and unmapped directly for blocks of at least `Least` bytes, from the heap for
// smaller ones. A passing buffer this large freed on the heap would leave the heap holding it
// while the tree grows elsewhere; unmapped, it is given back.
template <typename T, size_t Least = 0>
struct TMappedAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = TMappedAllocator<U, Least>;
  };
  TMappedAllocator() = default;
  template <typename U>
  TMappedAllocator(const TMappedAllocator<U, Least>&) {}
  T* allocate(size_t n) {
    if (n * sizeof(T) < Least) return static_cast<T*>(::operator new(n * sizeof(T)));
    void* p = mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) {
    if (n * sizeof(T) < Least)
      ::operator delete(p);
    else
      munmap(p, n * sizeof(T));
  }
  template <typename U>
  bool operator==(const TMappedAllocator<U, Least>&) const {
    return true;
  }
};

// What one walk thread reads with (a few at most; past that, threads share them): the file
// system is read here, past the library, by pread on the device, which any thread may do. The
// library's one opening is not safe for threads: what needs more than its plain data (a folder
// it reads itself, a checksum it looks up an inode for) is done under `Library`.
struct THandle {
  ext2_filsys Fs = nullptr;        // the state's opening
  std::mutex* Library = nullptr;   // held for the library's calls
  int Fd = -1;                     // the device
  std::mutex Lock;
  // Pieces of the inode tables as last read (under Lock): a folder's files mostly lie side by
  // side there, so one read serves several.
  struct TPiece {
    dgrp_t Group = ~dgrp_t{0};
    uint32_t First = 0;  // the index in its group of the piece's first inode
    std::vector<unsigned char> Bytes;
  };
  TPiece Pieces[4];
  size_t NextPiece = 0;
  std::vector<unsigned char> Blocks;  // a folder's blocks as read here (under Lock)
};

struct TDeviceListing::TState {
  std::string Device;
  uint64_t DeviceNumber = 0;  // the entries' st_dev
  ext2_ino_t RootIno = 0;
  std::string RootName;  // the walk's root, as the walk names it
  // The root's path on this computer, for what is handed to the system's listing; empty for an
  // image read by itself.
  std::string HostRoot;
  std::unordered_map<ext2_ino_t, std::string> Mounts;  // a folder's inode -> what is mounted there
  TDeviceNote Note;
  std::atomic<bool> EncryptedNoted{false};
  int Fd = -1;  // the device, read here past the library; any thread
  ext2_filsys Fs = nullptr;  // the library's opening, read-only
  std::mutex Library;
  // The first serves the set-up; the others are made as threads come, one each.
  std::unique_ptr<THandle> Handles[4];
  std::mutex HandlesLock;
  std::atomic<unsigned> Slots{0};

  ~TState() {
    if (Fs) ext2fs_close_free(&Fs);
    if (Fd >= 0) close(Fd);
  }

  std::unique_ptr<THandle> MakeHandle() {
    auto handle = std::make_unique<THandle>();
    handle->Fs = Fs;
    handle->Library = &Library;
    handle->Fd = Fd;
    return handle;
  }

  THandle& First() { return *Handles[0]; }
  // Told apart by this rather than by address: a state can be made where an ended one was.
  const uint64_t Serial = NextSerial.fetch_add(1);
  static inline std::atomic<uint64_t> NextSerial{1};

  // The calling thread's handle: its own while there are few threads, else a shared one.
  // Found without a lock after the thread's first call: every folder read asks for it.
  THandle& Mine() {
    thread_local uint64_t owner = 0;
    thread_local THandle* mine = nullptr;
    if (owner == Serial) return *mine;
    const unsigned slot = Slots.fetch_add(1) % std::size(Handles);
    std::lock_guard<std::mutex> hold(HandlesLock);
    if (!Handles[slot]) Handles[slot] = MakeHandle();
    owner = Serial;
    mine = Handles[slot].get();
    return *mine;
  }
};

// Reads `bytes` at `at` of the device; 0 or the error number.
int ReadFully(int fd, void* into, size_t bytes, uint64_t at);

}  // namespace ostrel
