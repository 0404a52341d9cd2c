#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/winmsg.h"
#include "scan/scanstart.h"
#include "tests/support/fixture.h"

using namespace ostrel;

namespace {

std::vector<TDrive> NoDrives() { return {}; }

// Records, in order, what heard of a walk's end.
class TOrderReceiver : public TMessageReceiver {
 public:
  std::intptr_t HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    Sender = reinterpret_cast<TThreadLoader*>(lParam);
    // The tree is stored before the window hears of it.
    Heard.push_back("message " + std::to_string(msg) + " " + std::to_string(wParam) +
                    (Sender && Sender->Result.Root ? " with a tree" : ""));
    return 0;
  }
  std::vector<std::string> Heard;
  TThreadLoader* Sender = nullptr;
};

}  // namespace

TEST(ScanRoot, TheWindowAddsTheSeparatorAndOstrelScanTakesThePathAsGiven) {
  test::TempTree tree;
  tree.Dir("sub");
  EXPECT_EQ(ScanRoot(tree.Path("sub"), WindowPathRule), tree.Path("sub") + "/");
  EXPECT_EQ(ScanRoot(tree.Path("sub") + "/", WindowPathRule), tree.Path("sub") + "/") << "never a second one";
  EXPECT_EQ(ScanRoot(tree.Path("sub"), ToolPathRule), tree.Path("sub"));
  EXPECT_EQ(ScanRoot(tree.Path("sub") + "/", ToolPathRule), tree.Path("sub") + "/");
}

TEST(ScanRoot, OnlyTheWindowRefusesAFolderOnNoDrive) {
  // /proc is a virtual file system: the window's command line refuses it as the desktop system
  // refuses a path without a root directory; ostrel-scan walks it, as du does.
  EXPECT_EQ(ScanRoot("/proc", WindowPathRule), std::nullopt);
  EXPECT_EQ(ScanRoot("/proc", ToolPathRule), "/proc");
}

TEST(PrepareScan, SetsUpASuspendedLoaderThatTellsTheWindowThenTheCallback) {
  test::TempTree tree;
  tree.File("sub/f", 7);
  auto shared = std::make_shared<TOrderReceiver>();
  TOrderReceiver& receiver = *shared;
  const THandle window = RegisterWindow(shared);
  std::atomic<int> callbacks{0};
  TScanRequest request;
  request.Root = tree.Root();
  request.DriveSource = NoDrives;
  request.NotifyWindow = window;
  request.OnDone = [&](TThreadLoader& loader) {
    receiver.Heard.push_back(loader.Result.Root ? "callback with a tree" : "callback without a tree");
    ++callbacks;
  };
  // The memory limit's way through is the window's out-of-memory case's (test_fmain_trees).
  std::unique_ptr<TThreadLoader> loader = PrepareScan(std::move(request));
  EXPECT_FALSE(loader->Finished()) << "not started yet";
  loader->Resume();
  loader->WaitFor();
  UnregisterWindow(window);
  EXPECT_EQ(receiver.Heard, (std::vector<std::string>{"message 1125 0 with a tree", "callback with a tree"}));
  EXPECT_EQ(receiver.Sender, loader.get());
  EXPECT_EQ(callbacks, 1);
  EXPECT_EQ(loader->FolderCount, 2);
}

TEST(PrepareScan, WithoutAWindowOnlyTheCallbackHears) {
  test::TempTree tree;
  std::thread::id calledOn;
  TScanRequest request;
  request.Root = tree.Root();
  request.DriveSource = NoDrives;
  request.OnDone = [&](TThreadLoader&) { calledOn = std::this_thread::get_id(); };
  std::unique_ptr<TThreadLoader> loader = PrepareScan(std::move(request));
  EXPECT_EQ(loader->NotifyWindow, NoWindow);
  loader->Resume();
  loader->WaitFor();
  EXPECT_NE(calledOn, std::thread::id()) << "called once the walk had ended";
  EXPECT_NE(calledOn, std::this_thread::get_id()) << "on the walk's thread";
}
