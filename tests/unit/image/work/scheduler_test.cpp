// The scheduler: pieces in order with the caller working too, kept threads, tasks that hear
// of a reader's rows, the row relay doing their work when it would wait, and a picture's
// faults taken as such a task.
#include "image/picture/image_buffer.h"
#include "image/picture/picture_prefault.h"
#include "image/work/row_relay.h"
#include "image/work/scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Tally {
  size_t threads = 0;
  std::mutex lock;
  std::vector<int> worked;        // per piece
  std::vector<int> busyWorker;    // per worker number: pieces in hand now
  std::vector<size_t> slotHolder; // per slot: the piece written there
  std::vector<size_t> taken;      // in the order taken
  bool clash = false;             // a worker number used twice at once, or beyond threads
  size_t failAt = static_cast<size_t>(-1);
};

int WorkPiece(void* context, size_t worker, size_t k, size_t slot) {
  Tally& t = *static_cast<Tally*>(context);
  {
    std::lock_guard<std::mutex> hold(t.lock);
    if (worker >= t.threads) {
      t.clash = true;
      return 0;
    }
    if (t.busyWorker[worker]++ != 0)
      t.clash = true;
    ++t.worked[k];
    t.slotHolder[slot] = k;
  }
  // Long enough for the other workers to be in hand at the same time.
  volatile unsigned spin = 0;
  for (unsigned i = 0; i < 20000; ++i)
    spin = spin + i;
  std::lock_guard<std::mutex> hold(t.lock);
  --t.busyWorker[worker];
  return k != t.failAt;
}

int TakePiece(void* context, size_t k, size_t slot) {
  Tally& t = *static_cast<Tally*>(context);
  std::lock_guard<std::mutex> hold(t.lock);
  t.taken.push_back(t.slotHolder[slot] == k ? k : static_cast<size_t>(-1));
  return 1;
}

TEST(ThreadedHelperThreads, OrderedWorkTakesEveryPieceOnceInOrder) {
  struct Case {
    size_t pieces, slots, threads;
  };
  const Case cases[] = {{1, 1, 1},  {1, 4, 4},    {2, 2, 2}, {7, 2, 2},
                        {50, 3, 4}, {200, 8, 16}, {9, 1, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.pieces << " pieces, " << c.slots << " slots, " << c.threads << " threads");
    Tally t;
    t.threads = c.threads < c.pieces ? c.threads : c.pieces;
    t.worked.assign(c.pieces, 0);
    t.busyWorker.assign(t.threads, 0);
    t.slotHolder.assign(c.slots, 0);
    const InOrder pieces = {c.pieces, c.slots, WorkPiece, TakePiece, &t};
    CallScheduler call;
    EXPECT_EQ(RunInOrder(call.work, &pieces, c.threads), 1);
    EXPECT_FALSE(t.clash);
    ASSERT_EQ(t.taken.size(), c.pieces);
    for (size_t k = 0; k < c.pieces; ++k) {
      EXPECT_EQ(t.worked[k], 1) << "piece " << k;
      EXPECT_EQ(t.taken[k], k);
    }
  }
}

TEST(ThreadedHelperThreads, AFailedPieceStopsTheWork) {
  Tally t;
  t.threads = 2;
  t.worked.assign(40, 0);
  t.busyWorker.assign(2, 0);
  t.slotHolder.assign(2, 0);
  t.failAt = 5;
  const InOrder pieces = {40, 2, WorkPiece, TakePiece, &t};
  CallScheduler call;
  EXPECT_EQ(RunInOrder(call.work, &pieces, 2), 0);
  ASSERT_EQ(t.taken.size(), 5u); // the pieces before the failed one
  size_t worked = 0;
  for (int n : t.worked)
    worked += static_cast<size_t>(n);
  EXPECT_LE(worked, 8u); // no piece handed out beyond the slots once it stopped
}

struct RelayRun {
  std::vector<size_t> stored;
  bool misplaced = false;
  std::atomic<int> spareLeft{0};
  std::atomic<int> spareDone{0};
};

void StoreRelayed(void* context, size_t index, const unsigned char* row) {
  RelayRun& r = *static_cast<RelayRun*>(context);
  size_t value = 0;
  memcpy(&value, row, sizeof value);
  if (value != index)
    r.misplaced = true;
  r.stored.push_back(index);
}

int SparePiece(void* context, size_t) {
  RelayRun& r = *static_cast<RelayRun*>(context);
  if (r.spareLeft.fetch_sub(1) <= 0)
    return 0;
  r.spareDone.fetch_add(1);
  return 1;
}

TEST(ThreadedHelperThreads, SpareWorkLeavesTheRowsWholeAndInOrder) {
  const int spareCounts[] = {0, 3, 100000};
  for (int spare : spareCounts) {
    SCOPED_TRACE(spare);
    RelayRun run;
    run.spareLeft = spare;
    CallScheduler call;
    ASSERT_TRUE(SubscribeToRows(call.work, {SparePiece, nullptr, &run}, kWhenAThreadWouldWait));
    PublishRows(call.work, 0, 1);
    RowRelay* const relay = StartRowRelay(call.work, 64, StoreRelayed, &run);
    ASSERT_NE(relay, nullptr);
    const size_t rows = 5000;
    for (size_t i = 0; i < rows; ++i) {
      unsigned char* const room = NextRowRoom(relay);
      memset(room, 0xEE, 64);
      memcpy(room, &i, sizeof i);
      PassRow(relay);
    }
    EndRowRelay(relay);
    EndRows(call.work, true);
    EXPECT_FALSE(run.misplaced);
    ASSERT_EQ(run.stored.size(), rows);
    for (size_t i = 0; i < rows; ++i)
      ASSERT_EQ(run.stored[i], i);
    EXPECT_LE(run.spareDone.load(), spare);
  }
}

void AddOne(void* context) { static_cast<std::atomic<int>*>(context)->fetch_add(1); }

TEST(ThreadedHelperThreads, KeptThreadsRunEveryHelperOnce) {
  std::atomic<int> runs{0};
  Scheduler* const work = StartScheduler();
  for (int round = 0; round < 20; ++round) {
    BackgroundTask* helpers[6];
    for (BackgroundTask*& h : helpers)
      h = StartInBackground(work, AddOne, &runs);
    for (BackgroundTask* h : helpers) {
      ASSERT_NE(h, nullptr);
      JoinBackground(h);
    }
  }
  EndScheduler(work);
  EXPECT_EQ(runs.load(), 20 * 6);
  // Without a scheduler there is no helper: the caller does the work itself.
  EXPECT_EQ(StartInBackground(nullptr, AddOne, &runs), nullptr);
}

// A task that counts its steps, and tells when two of them overlapped.
struct Listener {
  size_t budget = 0; // steps with a piece of work
  std::atomic<size_t> steps{0};
  std::atomic<size_t> lastFinal{0};
  std::atomic<int> inStep{0};
  std::atomic<bool> overlap{false};
  std::atomic<int> ends{0};
};

int ListenStep(void* context, size_t final) {
  Listener& l = *static_cast<Listener*>(context);
  if (l.inStep.fetch_add(1) != 0)
    l.overlap = true;
  std::this_thread::yield();
  const bool did = l.steps.load() < l.budget;
  if (did)
    l.steps.fetch_add(1);
  l.lastFinal = final;
  l.inStep.fetch_sub(1);
  return did ? 1 : 0;
}

void ListenEnd(void* context) { static_cast<Listener*>(context)->ends.fetch_add(1); }

// A task hears of the rows from the first publication on, on its own thread or whenever a
// thread would wait, one step at a time, and ends once when the rows end; after a failure
// nothing is final.
TEST(ThreadedHelperThreads, RowTasksHearOfTheRowsUntilTheyEnd) {
  for (const RowTaskPlace place : {kOnItsOwnThread, kWhenAThreadWouldWait}) {
    for (const bool ok : {true, false}) {
      SCOPED_TRACE(testing::Message() << "place " << place << ", ok " << ok);
      Listener listener;
      listener.budget = 40;
      CallScheduler call;
      ASSERT_TRUE(SubscribeToRows(call.work, {ListenStep, ListenEnd, &listener}, place));
      EXPECT_EQ(DoSpareWork(call.work), 0); // nothing published yet
      PublishRows(call.work, 0, 400);
      PublishRows(call.work, 100, 400);
      EXPECT_EQ(RowsFinalPermille(call.work), 250);
      std::thread other([&call] {
        while (DoSpareWork(call.work) != 0) {
        }
      });
      while (DoSpareWork(call.work) != 0) {
      }
      other.join();
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (listener.steps.load() < listener.budget && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
      EndRows(call.work, ok);
      EXPECT_EQ(DoSpareWork(call.work), 0);
      EXPECT_EQ(listener.steps.load(), listener.budget);
      EXPECT_EQ(listener.lastFinal.load(), 100u);
      EXPECT_FALSE(listener.overlap.load());
      EXPECT_EQ(listener.ends.load(), 1);
      EXPECT_EQ(RowsFinalPermille(call.work), ok ? 1000 : 0);
    }
  }
}

// The prefault taken in spare time stops where the rows are final, leaves every byte as the
// reader wrote it, and stops when reading ends.
TEST(ThreadedHelperThreads, SpareTimePrefaultStopsAtTheFinalRows) {
  struct Case {
    int32_t width, height;
    size_t finalRows;
  };
  const Case cases[] = {{1, 1, 0}, {300, 200, 0}, {300, 200, 150}, {1000, 1000, 999}, {7, 5, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.finalRows);
    ImageBuffer picture;
    InitImageBuffer(&picture);
    picture.width = c.width;
    picture.height = c.height;
    ASSERT_EQ(AllocImagePixels(&picture), 1);
    const size_t bytes = ImagePixelBytes(c.width, c.height);
    for (size_t i = 0; i < bytes; ++i)
      picture.pixels[i] = static_cast<unsigned char>(i * 7);
    CallScheduler call;
    ASSERT_TRUE(TakePictureFaults(call.work, &picture, kFillsFromEnd, kWhenAThreadWouldWait));
    EXPECT_EQ(DoSpareWork(call.work), 0); // no picture published yet
    PublishRows(call.work, 0, static_cast<size_t>(c.height));
    PublishRows(call.work, c.finalRows, static_cast<size_t>(c.height));
    const size_t open = bytes - c.finalRows * static_cast<size_t>(c.width) * 4;
    int steps = 0;
    while (DoSpareWork(call.work) != 0)
      ++steps;
    EXPECT_EQ(static_cast<size_t>(steps), (open + kPrefaultStepBytes - 1) / kPrefaultStepBytes);
    EndRows(call.work, true);
    EXPECT_EQ(DoSpareWork(call.work), 0);
    bool same = true;
    for (size_t i = 0; i < bytes && same; ++i)
      same = picture.pixels[i] == static_cast<unsigned char>(i * 7);
    EXPECT_TRUE(same);
    FreeImagePixels(&picture);
  }
}

} // namespace
