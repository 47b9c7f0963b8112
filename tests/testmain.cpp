#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Discovery runs the binary outside ctest's environment, so the platform is forced here.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
