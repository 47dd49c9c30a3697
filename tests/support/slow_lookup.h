// A name lookup that never answers until released: it stands in for a
// resolver that retries for minutes, without any traffic. Its state is
// shared with the lookup's thread, which may outlive the test's run.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

struct kvAddressList;

class SlowLookup {
  public:
    SlowLookup() : gate(std::make_shared<Gate>()) {}
    ~SlowLookup() { Release(); }
    SlowLookup(const SlowLookup&) = delete;
    SlowLookup& operator=(const SlowLookup&) = delete;

    // Blocks each call until Release (at most 60 s), then finds nothing.
    std::function<bool(const std::string&, int, kvAddressList&)> Resolver() const {
        std::shared_ptr<Gate> g = gate;
        return [g](const std::string&, int, kvAddressList&) {
            std::unique_lock<std::mutex> lock(g->mutex);
            ++g->calls;
            g->changed.notify_all();
            g->changed.wait_for(lock, std::chrono::seconds(60), [&] { return g->open; });
            return false;
        };
    }
    // Waits (at most 5 s) until a lookup has begun.
    bool Begun() const {
        std::unique_lock<std::mutex> lock(gate->mutex);
        return gate->changed.wait_for(lock, std::chrono::seconds(5),
                                      [&] { return gate->calls > 0; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->open = true;
        gate->changed.notify_all();
    }

  private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        int calls = 0;
        bool open = false;
    };
    std::shared_ptr<Gate> gate;
};
