// The command line's progress: status lines, and on a terminal a bar below
// them that the next line, the final message or the printer's end wipes out
// with blanks (no escape sequences: a Windows console may not take them).
#include "file_system.h"
#include "progress_printer.h"
#include "temp_files.h"

#include <gtest/gtest.h>

#include <string>

using korvex_test::ReadBytes;
using korvex_test::TempDir;

namespace {

// What a printer wrote, through steps run against it.
template <typename Steps> std::string Printed(bool terminal, bool quiet, Steps steps) {
    TempDir dir;
    const std::string path = dir / "out.txt";
    std::FILE* out = OpenStream(path, "wb");
    if (out == nullptr) return "<no file>";
    {
        kvProgressPrinter printer(out, terminal, quiet);
        steps(printer);
    }
    std::fclose(out);
    return ReadBytes(path);
}

// The bar drawn right after `line`, up to the carriage return that starts wiping it.
std::string BarAfter(const std::string& printed, const std::string& line) {
    std::size_t start = printed.find(line);
    if (start == std::string::npos) return std::string();
    start += line.size();
    return printed.substr(start, printed.find('\r', start) - start);
}

TEST(ProgressPrinter, BarIsWipedWithBlanksBeforeTheNextLine) {
    std::string printed = Printed(true, false, [](kvProgressPrinter& p) {
        p(kvStatus{"Scanning headers", kvPhase::HeaderScan, 50, 100});
        p(kvStatus{"Fetching", kvPhase::Fetch, 3, 7});
        p(kvStatus{"Done"});
    });
    const std::string scan = BarAfter(printed, "Scanning headers\n");
    const std::string fetch = BarAfter(printed, "Fetching\n");
    ASSERT_NE(scan.find("50%"), std::string::npos) << printed;
    ASSERT_NE(fetch.find("3/7"), std::string::npos) << printed;
    EXPECT_EQ(printed, "Scanning headers\n" + scan + "\r" + std::string(scan.size(), ' ') + "\r" +
                           "Fetching\n" + fetch + "\r" + std::string(fetch.size(), ' ') + "\r" +
                           "Done\n");
    EXPECT_EQ(printed.find('\033'), std::string::npos);
}

TEST(ProgressPrinter, FinalMessageAndTheEndWipeTheBar) {
    std::string printed = Printed(true, false, [](kvProgressPrinter& p) {
        p(kvStatus{"Fetching", kvPhase::Fetch, 1, 2});
        p.Final("ERROR: Connection lost");
        p(kvStatus{"Fetching", kvPhase::Fetch, 2, 2});
    });
    const std::string first = BarAfter(printed, "Fetching\n");
    const std::string last = BarAfter(printed, "Connection lost\nFetching\n");
    ASSERT_NE(first.find("1/2"), std::string::npos) << printed;
    ASSERT_NE(last.find("2/2"), std::string::npos) << printed;
    EXPECT_EQ(printed, "Fetching\n" + first + "\r" + std::string(first.size(), ' ') + "\r" +
                           "ERROR: Connection lost\n" + "Fetching\n" + last + "\r" +
                           std::string(last.size(), ' ') + "\r")
        << "the last bar goes when the printer does";
}

// Quiet keeps only the final message (a failure's reason).
TEST(ProgressPrinter, NoBarOffATerminalAndOnlyTheFinalLineWhenQuiet) {
    auto steps = [](kvProgressPrinter& p) {
        p(kvStatus{"Scanning headers", kvPhase::HeaderScan, 10, 100});
        p.Final("Done");
    };
    EXPECT_EQ(Printed(false, false, steps), "Scanning headers\nDone\n");
    EXPECT_EQ(Printed(true, true, steps), "Done\n");
}

// A scan that hands on its numbers: done of the total, and from the second
// message on the rate since the first and the time left at that rate, on a
// shorter bar so that the line fits 79 columns.
TEST(ProgressPrinter, ScanBarGivesNumbersRateAndTimeLeft) {
    long long now = 10'000;
    auto scan = [](const char* text, int percent, long long done, long long total) {
        kvStatus s{text, kvPhase::HeaderScan, percent, 100};
        s.numbersDone = done;
        s.numbersTotal = total;
        return s;
    };
    // What follows the bar's closing bracket.
    auto figures = [](const std::string& bar) { return bar.substr(bar.find(']') + 1); };
    std::string printed = Printed(true, false, [&](kvProgressPrinter& p) {
        p.clock = [&now] { return now; };
        p(scan("at 10", 10, 500'000, 5'000'000));
        now += 2'000; // a million numbers in two seconds
        p(scan("at 30", 30, 1'500'000, 5'000'000));
        now += 3'600'000; // an hour for the next 1,000 numbers: the rate is since the first
        p(scan("at 30 again", 30, 1'501'000, 5'000'000));
        p(kvStatus{"old", kvPhase::HeaderScan, 40, 100}); // no numbers: percent alone
    });
    EXPECT_EQ(figures(BarAfter(printed, "at 10\n")), "  10% 500000/5000000") << printed;
    EXPECT_EQ(BarAfter(printed, "at 10\n").find("[##..................]"), 9u);
    EXPECT_EQ(figures(BarAfter(printed, "at 30\n")),
              "  30% 1500000/5000000, 500000/s, 0:00:07 left");
    // 1,001,000 numbers in 3,602 s: 277/s, 3,499,000 left take 3:30:32 (rounded up).
    EXPECT_EQ(figures(BarAfter(printed, "at 30 again\n")),
              "  30% 1501000/5000000, 277/s, 3:30:32 left");
    EXPECT_EQ(figures(BarAfter(printed, "old\n")), "  40%");
    EXPECT_EQ(BarAfter(printed, "old\n").size(), 56u) << "the old bar, 40 wide";
}

// Numbers past 9,999,999 are given in millions, so that the widest line fits.
TEST(ProgressPrinter, LargeScanFiguresInMillionsWithin79Columns) {
    long long now = 0;
    std::string printed = Printed(true, false, [&](kvProgressPrinter& p) {
        p.clock = [&now] { return now; };
        kvStatus s{"big", kvPhase::HeaderScan, 1, 100};
        s.numbersTotal = 2'147'483'647;
        s.numbersDone = 500;
        p(s);
        now += 1; // 99,999,500 numbers in a millisecond
        s.text = "bigger";
        s.numbersDone = 100'000'000;
        p(s);
    });
    const std::string bar = BarAfter(printed, "bigger\n");
    EXPECT_NE(bar.find(" 100M/2147M, 99999M/s, 0:00:01 left"), std::string::npos) << bar;
    EXPECT_LE(bar.size(), 79u);
}

} // namespace
