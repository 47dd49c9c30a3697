// A TCP proxy on loopback that holds every byte for a fixed time in each
// direction, and optionally passes at most a given rate each way, so that a
// local news server looks like a distant one behind a slow link. It counts
// the bytes each connection carried. It runs in
// a process of its own (so that its buffers never count towards the memory of
// the benchmark's clients) and ends when its starter stops it or goes away,
// or after ten minutes at the latest.
#pragma once

#include <string>
#include <sys/types.h>

struct kvDelayProxy {
    pid_t pid = -1;
    int port = 0;     // where it listens on 127.0.0.1
    int control = -1; // closing it tells the proxy to end
    int counts = -1;  // the proxy reports each finished connection's bytes here
};

// Forwards connections made to the proxy to 127.0.0.1:targetPort, each
// direction delayed by delayMs and (rateBitsPerSecond > 0) paced to that
// rate. False when it could not be started.
bool StartDelayProxy(int delayMs, int targetPort, kvDelayProxy& proxy,
                     long long rateBitsPerSecond = 0);
// The bytes of the next connection to finish: client to server (up) and
// server to client (down). False when none finished within waitMs.
bool NextConnectionBytes(kvDelayProxy& proxy, long long& up, long long& down, int waitMs);
void StopDelayProxy(kvDelayProxy& proxy);
