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

} // namespace
