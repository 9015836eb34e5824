// Shared main of the test executables: a Qt application object for the whole run, the offscreen
// platform unless the environment names another one, and GoogleTest. The application object is
// made as qpx and qpx-cli make theirs, so it sets the C library's locale from the environment
// (under ru_RU.UTF-8 the printf family writes a decimal comma), as on the operator's machine.
#include "support/temporarysettings.h"

#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#ifdef QPX_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

namespace {

// CTest runs every test case in a program of its own. On Windows the settings are the registry,
// one key for every process, so what one test's windows stored there (the last folder, a grid
// layout) would be the next test's start. The tests that may touch the key take turns with it
// (CTest's resource lock) and are started with --own-settings-key: each of them begins with the
// key empty. Listing the tests (--gtest_list_tests) runs no environment.
class EmptySettingsKey : public testing::Environment
{
public:
    void SetUp() override { TemporarySettings::clearRegistry(); }
};

bool takeOwnSettingsKey(int &argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--own-settings-key") == 0) {
            std::copy(argv + i + 1, argv + argc + 1, argv + i); // argv[argc] is the null pointer
            --argc;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool ownSettingsKey = takeOwnSettingsKey(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    if (ownSettingsKey)
        testing::AddGlobalTestEnvironment(new EmptySettingsKey);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
