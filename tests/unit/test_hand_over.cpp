#include "hand_over.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

TEST(HandOver, EndsWithTheValueTheStopOrTheTimeOut) {
    {
        kvHandOver<std::string> h;
        h.Give("early");
        kvStopSignal stop;
        stop.RequestStop(); // a value already given wins over a stop
        std::string out;
        EXPECT_EQ(h.Await(&stop, 0, 5, out), kvHandOverWait::Given);
        EXPECT_EQ(out, "early");
    }
    {
        auto h = std::make_shared<kvHandOver<std::string>>();
        std::thread giver([h] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            h->Give("late");
        });
        std::string out;
        EXPECT_EQ(h->Await(nullptr, -1, 5, out), kvHandOverWait::Given);
        EXPECT_EQ(out, "late");
        giver.join();
    }
    {
        kvHandOver<int> h;
        kvStopSignal stop;
        std::thread stopper([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            stop.RequestStop();
        });
        int out = 7;
        EXPECT_EQ(h.Await(&stop, -1, 5, out), kvHandOverWait::Stopped);
        EXPECT_EQ(out, 7);
        stopper.join();
    }
    {
        kvHandOver<int> h;
        kvStopSignal stop;
        int out = 7;
        EXPECT_EQ(h.Await(&stop, 40, 5, out), kvHandOverWait::TimedOut);
        EXPECT_EQ(out, 7);
    }
}
