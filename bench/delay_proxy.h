// A TCP proxy on loopback that holds every byte for a fixed time in each
// direction, so that a local news server looks like a distant one. It runs in
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
};

// Forwards connections made to the proxy to 127.0.0.1:targetPort, each
// direction delayed by delayMs. False when it could not be started.
bool StartDelayProxy(int delayMs, int targetPort, kvDelayProxy& proxy);
void StopDelayProxy(kvDelayProxy& proxy);
