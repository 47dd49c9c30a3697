// A loopback port that takes no more connections: its listener's queue is
// full, so the SYN of a further connect is never answered. For tests of
// connects that would not end by themselves.
#pragma once
#include "test_sockets.h"

#include <gtest/gtest.h>

#include <cstdint>

inline sockaddr_in LoopbackAddress(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

class Unanswering {
  public:
    Unanswering() {
        listener = TestListen(port, 0);
        EXPECT_GE(listener, 0) << "no loopback listener";
        filler = TestSocket();
        TestSetNonBlocking(filler);
        sockaddr_in a = LoopbackAddress(port);
        connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a);
        kvPollFd p = TestPollFd(filler, POLLOUT);
        EXPECT_EQ(TestPoll(&p, 1, 2000), 1) << "the queue's one place was not taken";
    }
    ~Unanswering() {
        TestCloseSocket(filler);
        TestCloseSocket(listener);
    }
    Unanswering(const Unanswering&) = delete;
    Unanswering& operator=(const Unanswering&) = delete;

    int port = 0;

  private:
    int listener = -1, filler = -1;
};
