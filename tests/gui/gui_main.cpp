// Runs the GUI tests inside a started wx application (on the display that
// Xvfb provides); listing the tests needs no display.
#include "app.h"

#include <gtest/gtest.h>
#include <wx/init.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    wxApp::SetInstance(new kvApp);
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "cannot start the GUI (is DISPLAY set?)\n");
        return 1;
    }
    int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
