// A QApplication for the window tests. Error boxes never open as modal
// dialogs here: unless a test captures them itself, their text is printed.

#include <gtest/gtest.h>

#include <QApplication>

#include "Unit1/error_box.h"
#include "support/window_harness.h"

namespace errorbox = Unit1::errorbox;

int main(int argc, char* argv[])
{
    // Test discovery runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    errorbox::setCaptureForTest(&harness::printErrorBox);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
