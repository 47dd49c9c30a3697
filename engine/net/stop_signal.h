// A stop request that every network wait of a search run watches: once
// requested, each wait ends at once, as a failed receive.
//
// RequestStop may be called from any thread; the waits poll WaitHandle.
#pragma once

class kvStopSignal {
  public:
    kvStopSignal();
    ~kvStopSignal();
    kvStopSignal(const kvStopSignal&) = delete;
    kvStopSignal& operator=(const kvStopSignal&) = delete;

    void RequestStop(); // any thread; idempotent
    bool StopRequested() const;
    // Waits `ms` milliseconds unless a stop comes first; true when it did.
    bool WaitFor(long long ms) const;
#ifdef _WIN32
    // An event object, signalled once a stop is requested.
    void* WaitHandle() const {
        return event;
    }

  private:
    void* event = nullptr;
#else
    int WaitHandle() const {
        return readFd;
    } // becomes readable once a stop is requested

  private:
    int readFd = -1;
    int writeFd = -1;
#endif
};
