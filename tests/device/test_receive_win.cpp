// The download dialog on Windows through a real COM port: the instrument (the Linux simulator,
// which scripts/windows-e2e puts behind Wine's COM1 with QPX_TEST_INSTRUMENT_RECORDS set to its
// record count) is found on "\\.\COM1" and its memory downloaded, as New does. Skips without it.
#include "data/memoryimage.h"
#include "device/widgets/receive.h"
#include "support/scriptedprompts.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

TEST(DownloadDialogWindows, NewDownloadsTheInstrumentOnCom1)
{
    bool numbered = false;
    const int records = qEnvironmentVariableIntValue("QPX_TEST_INSTRUMENT_RECORDS", &numbered);
    if (!numbered)
        GTEST_SKIP() << "no instrument behind COM1 (QPX_TEST_INSTRUMENT_RECORDS unset)";
    ScriptedPrompts prompts;
    memoryImage().clear();
    deviceInfo() = DeviceInfo();

    TForm2 dlg;
    EXPECT_EQ(dlg.CommPortDriver1().PortName(), QStringLiteral("\\\\.\\COM1"));
    bool portOpenDuringSearch = false;
    QTimer::singleShot(20, &dlg, [&] { portOpenDuringSearch = dlg.CommPortDriver1().IsOpen(); });
    // A download that stalls is cancelled rather than left to hang the test.
    QTimer::singleShot(120000, &dlg, [&] { dlg.Button1->click(); });
    EXPECT_EQ(dlg.exec(), 1);
    EXPECT_TRUE(portOpenDuringSearch);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(dlg.StaticText7->text(), QString::number(records));
    EXPECT_FALSE(dlg.StaticText5->text().isEmpty()); // the instrument's type
    EXPECT_FALSE(dlg.CommPortDriver1().IsOpen());
    EXPECT_EQ(memoryImage().recordCount(), records);
}
