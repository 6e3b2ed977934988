#include "tools/host/RunLoop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace quarv::host {

int RunLoop::AddTimer(int periodMs, Callback callback) {
  Entry e;
  e.id = mNextId++;
  e.period = std::chrono::milliseconds(std::max(1, periodMs));
  e.due = Clock::now() + e.period;
  e.callback = std::move(callback);
  mEntries.push_back(std::move(e));
  return mEntries.back().id;
}

int RunLoop::AddWatch(int fd, Callback callback) {
  if (fd < 0) return 0;
  Entry e;
  e.id = mNextId++;
  e.fd = fd;
  e.callback = std::move(callback);
  mEntries.push_back(std::move(e));
  return mEntries.back().id;
}

void RunLoop::Remove(int id) {
  mEntries.erase(std::remove_if(mEntries.begin(), mEntries.end(), [id](const Entry& e) { return e.id == id; }),
                 mEntries.end());
}

size_t RunLoop::Timers() const {
  return static_cast<size_t>(std::count_if(mEntries.begin(), mEntries.end(), [](const Entry& e) { return e.fd < 0; }));
}

size_t RunLoop::Watches() const { return mEntries.size() - Timers(); }

RunLoop::Entry* RunLoop::Find(int id) {
  for (Entry& e : mEntries) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

int RunLoop::RunOnce(int maxWaitMs) {
  Clock::time_point now = Clock::now();
  Clock::duration wait = std::chrono::milliseconds(std::max(0, maxWaitMs));
  std::vector<pollfd> fds;
  std::vector<int> watchIds;
  for (const Entry& e : mEntries) {
    if (e.fd < 0) {
      wait = std::min(wait, std::max(Clock::duration::zero(), e.due - now));
    } else {
      fds.push_back({e.fd, POLLIN, 0});
      watchIds.push_back(e.id);
    }
  }
  // Round up so a timer due in 0.3 ms does not make the loop spin.
  const int waitMs = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(wait + std::chrono::microseconds(999)).count());
  int ready = poll(fds.data(), fds.size(), waitMs);
  if (ready < 0 && errno != EINTR) ready = 0;

  // Callbacks may change the entries: each is looked up again by id before
  // it runs, so a removed entry never runs and new ones wait for next time.
  int ran = 0;
  for (size_t i = 0; ready > 0 && i < fds.size(); ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    Entry* e = Find(watchIds[i]);
    if (!e) continue;
    Callback run = e->callback;  // the entry may go away while it runs
    run();
    ++ran;
  }
  now = Clock::now();
  std::vector<int> due;
  for (const Entry& e : mEntries) {
    if (e.fd < 0 && e.due <= now) due.push_back(e.id);
  }
  for (int id : due) {
    Entry* e = Find(id);
    if (!e) continue;
    e->due += e->period;
    if (e->due <= now) e->due = now + e->period;
    Callback run = e->callback;
    run();
    ++ran;
  }
  mDispatched += ran;
  return ran;
}

void RunLoop::RunFor(Clock::duration duration) {
  const Clock::time_point end = Clock::now() + duration;
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
    RunOnce(static_cast<int>(std::max<long long>(1, left)));
  }
}

}  // namespace quarv::host
