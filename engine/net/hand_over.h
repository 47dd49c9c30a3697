// A value one thread hands to another that waits for it, with a wait that a
// stop request or a time-out ends. The waiting side may give up first; the
// giving side then finishes unseen, so both keep the hand-over alive (hold it
// in a std::shared_ptr).
#pragma once

#include "stop_signal.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

enum class kvHandOverWait { Given, Stopped, TimedOut };

template <class T> class kvHandOver {
  public:
    // Any thread, once.
    void Give(T value) {
        std::lock_guard<std::mutex> lock(mutex);
        answer = std::move(value);
        given = true;
        ready.notify_all();
    }

    // Waits until a value is given (then moved into out), `stop` is requested,
    // or timeoutMs have passed (< 0: no limit). The stop is looked at every
    // stepMs, so the same wait works wherever a stop is not a descriptor to
    // wait on. A value already given wins over a stop or a time-out.
    kvHandOverWait Await(const kvStopSignal* stop, long long timeoutMs, int stepMs, T& out) {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        const auto step = std::chrono::milliseconds(stepMs);
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            if (given) {
                out = std::move(answer);
                return kvHandOverWait::Given;
            }
            if (stop != nullptr && stop->StopRequested()) return kvHandOverWait::Stopped;
            if (timeoutMs < 0) {
                ready.wait_for(lock, step);
                continue;
            }
            const auto deadline = start + std::chrono::milliseconds(timeoutMs);
            const auto now = Clock::now();
            if (now >= deadline) return kvHandOverWait::TimedOut;
            ready.wait_for(lock, deadline - now < step ? deadline - now : step);
        }
    }

  private:
    std::mutex mutex;
    std::condition_variable ready;
    bool given = false;
    T answer{};
};
