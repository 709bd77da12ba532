// The widget tests need one application object for the whole run.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    // Listing the tests needs a platform too; no display is wanted.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
