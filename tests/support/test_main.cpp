// Shared main of the test executables: a Qt application object for the whole run, the offscreen
// platform unless the environment names another one, and GoogleTest. The application object is
// made as qpx and qpx-cli make theirs, so it sets the C library's locale from the environment
// (under ru_RU.UTF-8 the printf family writes a decimal comma), as on the operator's machine.
#include <QtGlobal>
#include <gtest/gtest.h>
#ifdef QPX_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
