// The host's user-interface loop for plug-in editors: periodic timers and
// watches on file descriptors, run by poll() on the calling thread. A VST 3
// view registers its timer and its X connection here through the plug
// frame's run loop; a VST 2.4 editor gets its idle calls from a timer.
//
// Threads: one loop belongs to one thread (the host's UI thread); callbacks
// run on it. A callback may add or remove entries, its own included.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace quarv::host {

class RunLoop {
public:
  using Callback = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  // A timer first due periodMs from now (at least 1 ms), then every periodMs
  // after the time it was due; a loop that fell behind fires it once, not
  // once for every period missed. Returns the entry's id (> 0).
  int AddTimer(int periodMs, Callback callback);
  // Called whenever fd is readable (or has hung up). Returns the id, or 0
  // for a negative fd.
  int AddWatch(int fd, Callback callback);
  // Forgets the entry; unknown ids are ignored.
  void Remove(int id);
  size_t Entries() const { return mEntries.size(); }
  size_t Timers() const;
  size_t Watches() const;

  // Waits at most maxWaitMs for a watched descriptor or the next timer, then
  // runs what is ready: readable descriptors first, then due timers.
  // Returns the number of callbacks run.
  int RunOnce(int maxWaitMs);
  // Runs the loop until the time has passed.
  void RunFor(Clock::duration duration);
  void RunForMs(int ms) { RunFor(std::chrono::milliseconds(ms)); }

  // Timer firings and watch callbacks since the loop was made.
  long Dispatched() const { return mDispatched; }

private:
  struct Entry {
    int id = 0;
    int fd = -1;  // -1 for a timer
    Clock::duration period{};
    Clock::time_point due{};
    Callback callback;
  };
  Entry* Find(int id);

  std::vector<Entry> mEntries;
  int mNextId = 1;
  long mDispatched = 0;
};

}  // namespace quarv::host
