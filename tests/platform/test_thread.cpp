#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "platform/winmsg.h"

namespace ostrel {
namespace {

// Runs a function as its Execute.
class TRunner : public TThread {
 public:
  explicit TRunner(std::function<void()> body) : Body(std::move(body)) {}
  ~TRunner() override { WaitFor(); }

 protected:
  void Execute() override { Body(); }

 private:
  std::function<void()> Body;
};

TEST(TThread, ExecuteRunsOnceOnAnotherThreadAndOnlyWhenResumed) {
  std::atomic<int> runs{0};
  {
    TRunner never([&] { ++runs; });
    never.WaitFor();
    EXPECT_FALSE(never.Finished());
  }
  EXPECT_EQ(runs.load(), 0);
  std::thread::id ranOn;
  TRunner t([&] {
    ranOn = std::this_thread::get_id();
    ++runs;
  });
  EXPECT_FALSE(t.Finished());
  t.Resume();
  t.Resume();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(runs.load(), 1);
  EXPECT_NE(ranOn, std::this_thread::get_id());
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(runs.load(), 1) << "Resume after the end starts nothing";
}

TEST(TThread, FinishedOnlyAfterExecuteReturnsAndAlsoAfterAThrow) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  TRunner blocked([released] { released.wait(); });
  TRunner thrower([] { throw std::runtime_error("escapes Execute"); });
  blocked.Resume();
  thrower.Resume();
  while (!thrower.Finished()) std::this_thread::yield();
  EXPECT_FALSE(blocked.Finished());
  release.set_value();
  blocked.WaitFor();
  thrower.WaitFor();
  EXPECT_TRUE(blocked.Finished());
  EXPECT_TRUE(thrower.Finished());
}

// Has no members of its own, so leaving the wait to the base destructor is allowed. Execute
// ends only once the destruction has begun, so a base destructor that did not wait is caught.
std::atomic<bool> BareStarted{false}, BareDeleting{false}, BareDone{false};
class TBare : public TThread {
 public:
  ~TBare() override { BareDeleting = true; }

 protected:
  void Execute() override {
    BareStarted = true;
    while (!BareDeleting) std::this_thread::yield();
    BareDone = true;
  }
};

TEST(TThread, DestructorWaitsForTheEnd) {
  auto* t = new TBare;
  t->Resume();
  while (!BareStarted) std::this_thread::yield();
  delete t;
  EXPECT_TRUE(BareDone.load());
}

// Returns wParam + 1 and keeps the message and lParam of the last call.
class TCounting : public TMessageReceiver {
 public:
  std::intptr_t HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    ++Calls;
    LastMsg = msg;
    LastLParam = lParam;
    return static_cast<std::intptr_t>(wParam) + 1;
  }
  std::atomic<int> Calls{0};
  uint32_t LastMsg = 0;
  std::intptr_t LastLParam = 0;
};

// A receiver that sends on to another window: the registry must not be locked during a call.
class TForwarding : public TMessageReceiver {
 public:
  std::intptr_t HandleMessage(uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    THandle self = RegisterWindow(nullptr);  // registering during a send works too
    UnregisterWindow(self);
    return SendMessageSync(Target, msg, wParam, lParam) * 10;
  }
  THandle Target = NoWindow;
};

TEST(SendMessageSync, PassesItsArgumentsAndNobodyMeansZeroAndNoCall) {
  auto receiver = std::make_shared<TCounting>();
  THandle first = RegisterWindow(receiver);
  auto middle = std::make_shared<TForwarding>();
  middle->Target = first;
  THandle forwarder = RegisterWindow(middle);
  EXPECT_EQ(SendMessageSync(forwarder, WmUser + 101, 41, -5), 420);
  UnregisterWindow(forwarder);
  EXPECT_EQ(receiver->LastMsg, WmUser + 101);
  EXPECT_EQ(receiver->LastLParam, -5);
  UnregisterWindow(first);
  THandle second = RegisterWindow(receiver);
  EXPECT_NE(second, first) << "handles are never reused";
  EXPECT_NE(second, NoWindow);
  UnregisterWindow(second);
  for (THandle h : {first, second, NoWindow, THandle{0}, second + 1000}) EXPECT_EQ(SendMessageSync(h, WmUser, 1, 1), 0);
  EXPECT_EQ(receiver->Calls.load(), 1);
}

// A receiver that holds its caller until the test lets it go.
class TGated : public TMessageReceiver {
 public:
  std::intptr_t HandleMessage(uint32_t, std::uintptr_t, std::intptr_t) override {
    *RanOn = std::this_thread::get_id();
    Entered.set_value();
    Release.get_future().wait();
    return 7;
  }
  std::promise<void> Entered, Release;
  std::thread::id* RanOn = nullptr;  // outlives the receiver
};

// A send runs the receiver on the sender's thread and returns only once it has returned. One
// that found the receiver before its handle went keeps it alive to the end of the call, though
// the registry and the owner have both let go; the last user frees it.
TEST(SendMessageSync, ASendUnderWayOutlivesUnregisteringAndTheOwner) {
  auto receiver = std::make_shared<TGated>();
  std::future<void> entered = receiver->Entered.get_future();
  std::promise<void>& release = receiver->Release;
  const std::weak_ptr<TGated> watch = receiver;
  THandle window = RegisterWindow(receiver);
  std::intptr_t result = 0;
  std::thread::id senderId, ranOn;
  receiver->RanOn = &ranOn;
  std::thread sender([&] {
    senderId = std::this_thread::get_id();
    result = SendMessageSync(window, WmUser, 0, 0);
  });
  entered.wait();
  UnregisterWindow(window);
  receiver.reset();
  EXPECT_FALSE(watch.expired());
  release.set_value();
  sender.join();
  EXPECT_EQ(result, 7);
  EXPECT_EQ(ranOn, senderId);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(SendMessageSync(window, WmUser, 0, 0), 0);
}

TEST(SendMessageSync, ManyThreadsRegisterSendAndUnregister) {
  constexpr int kThreads = 4, kSends = 500;
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&] {
      auto mine = std::make_shared<TCounting>();
      THandle h = RegisterWindow(mine);
      for (int n = 0; n < kSends; ++n)
        if (SendMessageSync(h, WmUser, static_cast<std::uintptr_t>(n), 0) != n + 1) ++wrong;
      UnregisterWindow(h);
      if (SendMessageSync(h, WmUser, 0, 0) != 0 || mine->Calls != kSends) ++wrong;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace ostrel
