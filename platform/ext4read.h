// A listing that reads an ext2/3/4 file system's metadata from its block device instead of
// asking the kernel entry by entry: the file system opened read-only with e2fsprogs' library
// (the journal is never replayed), its inodes and most folders then read here by pread on the
// device, the rest by the library. The walk reads it like any TListing, so every rule of the
// walk holds as it does for the system's listing.
//
// Before the walk of a whole file system, Prepare reads the inode tables in large reads, in disk
// order, and then the folders' blocks sorted by their place on the disk, so that the kernel's
// cache holds them when the walk asks for them in the tree's order: a cold disk is read nearly
// sequentially.
//
// What this listing cannot read exactly is handed to the system's listing by its path: a
// folder where another file system is mounted (the walk then goes on there as it always does),
// and an encrypted folder (whose names the device holds only in cipher). On a mounted file
// system that changes during the scan, entries that change can differ from a walk, and delayed
// allocation can show files being written with fewer blocks than they will take.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/listing.h"

namespace ostrel {

class TDeviceListing;

// Said once each: a part read through the system instead, a journal not replayed.
using TDeviceNote = std::function<void(const std::string& note)>;

struct TDeviceScan {
  std::shared_ptr<TDeviceListing> Listing;  // null when the device cannot be read
  std::string Why;                          // why not, as one line
};

// The device of the ext2/3/4 file system that holds folder `path` (a walk's root, as the walk
// will name it), when its metadata can be read there: the device found from the mount table,
// checked to be the one `path` lies on and `path`'s folder found on it by its inode. Mounts
// below `path` are handed back to the system's listing.
TDeviceScan DeviceScanOf(const std::string& path, TDeviceNote note);

// The file system in `image` (a block device or an image file, mounted or not), with the walk
// rooted at its folder `inside` ("/" for its root), named so. Nothing of this computer's mounts
// is looked at; the entries' device number is 0.
TDeviceScan DeviceImageScan(const std::string& image, const std::string& inside, TDeviceNote note);

class TDeviceListing : public TListing {
 public:
  ~TDeviceListing() override;
  // Reads ahead what the walk will read (see above); returns early, with nothing lost but
  // time, when `stop` is set or the device fails. Optional.
  void Prepare(const std::atomic<int>& stop);
  std::shared_ptr<TOpenFolder> OpenRoot(const char* path, int& error) override;
  int ExamineRoot(const char* path, TEntryStat& stat) override;
  size_t OpenFolderBudget() const override;

  struct TState;

 private:
  friend TDeviceScan DeviceScanOf(const std::string&, TDeviceNote);
  friend TDeviceScan DeviceImageScan(const std::string&, const std::string&, TDeviceNote);
  explicit TDeviceListing(std::shared_ptr<TState> state);
  std::shared_ptr<TState> State;
};

}  // namespace ostrel
