// The download dialog: its layout, and whole downloads through it against the simulated
// instrument on a pseudo-terminal.
#include "device/widgets/portsdialog.h"
#include "device/widgets/receive.h"
#include "ptytestkit.h"
#include "simulator/ptyinstrument.h"
#include "support/scriptedprompts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// Temporary settings with "\\.\COM1" and "\\.\COM2" pointed at the given devices.
class DialogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        memoryImage().clear();
        deviceInfo() = DeviceInfo();
    }

    void pointPorts(const QString &com1, const QString &com2) { m_settings.pointPorts(com1, com2); }
    QString missing(const char *name) const { return m_settings.missing(name); }

    ScriptedPrompts prompts;

private:
    TemporarySettings m_settings;
};

} // namespace

TEST_F(DialogFixture, Layout)
{
    TForm2 dlg;
    EXPECT_EQ(dlg.objectName(), QStringLiteral("Form2"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Form2"));
    EXPECT_EQ(dlg.size(), QSize(490, 245));
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(dlg.font().pixelSize(), 11);

    EXPECT_EQ(dlg.ProgressBar1->geometry(), QRect(20, 57, 453, 17));
    EXPECT_EQ(dlg.ProgressBar1->minimum(), 0);
    EXPECT_EQ(dlg.ProgressBar1->maximum(), 100);
    EXPECT_EQ(dlg.StaticText2->geometry(), QRect(104, 12, 288, 24));
    EXPECT_EQ(dlg.StaticText2->text(), QStringLiteral("Ожидание готовности прибора ..."));
    EXPECT_TRUE(dlg.StaticText2->font().bold());
    EXPECT_EQ(dlg.StaticText2->font().pixelSize(), 16);
    EXPECT_EQ(dlg.Button1->geometry(), QRect(412, 216, 75, 25));
    EXPECT_EQ(dlg.Button1->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(dlg.GroupBox1->geometry(), QRect(20, 100, 453, 101));
    EXPECT_EQ(dlg.GroupBox1->title(), QStringLiteral("Информация"));
    EXPECT_EQ(dlg.GroupBox1->font().pixelSize(), 13);
    EXPECT_EQ(dlg.StaticText3->text(), QStringLiteral("Версия ПО:"));
    EXPECT_EQ(dlg.StaticText3->geometry(), QRect(20, 48, 77, 20));
    EXPECT_EQ(dlg.StaticText4->text(), QStringLiteral("Тип прибора:"));
    EXPECT_EQ(dlg.StaticText4->geometry(), QRect(20, 24, 91, 20));
    EXPECT_EQ(dlg.StaticText6->text(), QStringLiteral("Количество записей:"));
    EXPECT_EQ(dlg.StaticText6->geometry(), QRect(20, 72, 143, 20));
    for (QLabel *value : {dlg.StaticText1, dlg.StaticText5, dlg.StaticText7}) {
        EXPECT_TRUE(value->text().isEmpty());
        EXPECT_EQ(value->parentWidget(), dlg.GroupBox1);
        EXPECT_EQ(value->font().pixelSize(), 13);
    }
    EXPECT_EQ(dlg.StaticText1->pos(), QPoint(124, 48));
    EXPECT_EQ(dlg.StaticText5->pos(), QPoint(124, 24));
    EXPECT_EQ(dlg.StaticText7->pos(), QPoint(164, 72));

    const TCommPortDriver &port = dlg.CommPortDriver1();
    EXPECT_EQ(port.PortName(), QStringLiteral("\\\\.\\COM1"));
    EXPECT_EQ(port.InBufSize(), 4096u);
    EXPECT_EQ(port.OutBufSize(), 4096u);
}

TEST_F(DialogFixture, DownloadFindsTheInstrumentOnCom1)
{
    InstrumentOptions options;
    options.model = 3;
    options.image = InstrumentSimulator::generateImage(300, 3);
    PtyInstrument instrument(options);
    instrument.setCharsPerSecond(0);
    QString error;
    ASSERT_TRUE(instrument.start(&error)) << error.toStdString();
    pointPorts(instrument.slavePath(), missing("com2"));

    TForm2 dlg;
    bool timersSeen = false;
    QTimer::singleShot(20, &dlg, [&] {
        // During the search: the caption, Timer1 at 3000 ms, Timer2 idle.
        timersSeen = dlg.windowTitle() == QStringLiteral("Прием данных") && dlg.Timer1().interval() == 3000 &&
                     !dlg.Timer2().isActive();
    });
    const int result = dlg.exec();
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(timersSeen);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(dlg.StaticText5->text(), QStringLiteral("Лкт-1500 ДН7.01"));
    EXPECT_EQ(dlg.StaticText1->text(), QStringLiteral("03.12.05"));
    EXPECT_EQ(dlg.StaticText7->text(), QStringLiteral("300"));
    EXPECT_EQ(dlg.StaticText2->text(), QStringLiteral("Идет прием информации ..."));
    EXPECT_FALSE(dlg.CommPortDriver1().IsOpen());
    EXPECT_EQ(deviceInfo().ModelIndex, 3);
    EXPECT_EQ(memoryImage().recordCount(), 300);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(memoryImage().bytes.data()), options.image.size()),
              options.image);
    EXPECT_EQ(instrument.commandsReceived(), QByteArrayLiteral("VN"));

    // The same dialog again: it starts afresh on COM1.
    int again = 0;
    QTimer::singleShot(20, &dlg, [&] {
        EXPECT_TRUE(dlg.StaticText7->text().isEmpty());
        EXPECT_EQ(dlg.ProgressBar1->value(), 0);
        dlg.Button1->click();
    });
    again = dlg.exec();
    EXPECT_EQ(again, 2);
}

TEST_F(DialogFixture, CancelAndWrongInstrument)
{
    InstrumentOptions silent;
    silent.silent = true;
    PtyInstrument quiet(silent);
    ASSERT_TRUE(quiet.start(nullptr));
    InstrumentOptions wrong;
    wrong.typeCode = 4;
    PtyInstrument other(wrong);
    ASSERT_TRUE(other.start(nullptr));

    pointPorts(quiet.slavePath(), other.slavePath());
    {
        TForm2 dlg;
        QTimer::singleShot(200, dlg.Button1, &QPushButton::click);
        EXPECT_EQ(dlg.exec(), 2);
        EXPECT_FALSE(dlg.CommPortDriver1().IsOpen());
        EXPECT_FALSE(dlg.Timer1().isActive());
        EXPECT_TRUE(prompts.messages.isEmpty());
    }
    // Nothing on COM1, the wrong instrument on COM2.
    {
        TForm2 dlg;
        EXPECT_EQ(dlg.exec(), 2);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Вы подключили не тот прибор !"));
        EXPECT_EQ(deviceInfo().TypeCode, 4);
        EXPECT_FALSE(dlg.CommPortDriver1().IsOpen());
        EXPECT_EQ(other.commandsReceived(), QByteArrayLiteral("V"));
    }
}

TEST_F(DialogFixture, LineHungUpMidReplyEndsAsCancel)
{
    InstrumentOptions options;
    options.image = InstrumentSimulator::generateImage(300, 1);
    PtyInstrument instrument(options);
    instrument.setHangupAfter(400); // the identification, then part of the memory reply
    ASSERT_TRUE(instrument.start(nullptr));
    pointPorts(instrument.slavePath(), missing("com2"));
    memoryImage().bytes.fill(0x5A);

    QElapsedTimer sinceHangup;
    qint64 cpuAtHangup = 0;
    QObject::connect(&instrument, &PtyInstrument::hangedUp, [&] {
        sinceHangup.start();
        cpuAtHangup = cpuMs();
    });
    TForm2 dlg;
    const int result = dlg.exec();
    ASSERT_TRUE(sinceHangup.isValid());
    const qint64 toEnd = sinceHangup.elapsed();
    EXPECT_EQ(result, 2);
    EXPECT_LT(toEnd, 1000);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Связь с прибором потеряна! Прием данных прерван."));
    EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("Ошибка"));
    EXPECT_TRUE(prompts.messages[0].informative.contains(instrument.slavePath()));
    EXPECT_FALSE(dlg.CommPortDriver1().IsOpen());
    EXPECT_FALSE(dlg.Timer1().isActive());
    EXPECT_FALSE(dlg.Timer2().isActive());
    EXPECT_EQ(memoryImage().bytes[0], 0x5A); // nothing of the broken reply reached the image
    // Five seconds from the hang-up: no CPU spent waiting on the dead line.
    idle(5000 - sinceHangup.elapsed());
    EXPECT_LT(cpuMs() - cpuAtHangup, 500);
}

TEST_F(DialogFixture, NotFoundNamesEachPortAndItsCause)
{
    InstrumentOptions silent;
    silent.silent = true;
    PtyInstrument quiet(silent);
    ASSERT_TRUE(quiet.start(nullptr));
    pointPorts(missing("ttyUSB0"), quiet.slavePath());
    TForm2 dlg;
    EXPECT_EQ(dlg.exec(), 2);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text,
              QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"));
    EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("Ошибка"));
    const QStringList lines = prompts.messages[0].informative.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("\\\\.\\COM1 (%1): нет такого устройства").arg(missing("ttyUSB0")));
    EXPECT_EQ(lines[1],
              QStringLiteral("\\\\.\\COM2 (%1): открыт, но прибор не ответил").arg(quiet.slavePath()));
}

TEST_F(DialogFixture, PortsDialogAssignsTheSelectedOrTypedDevice)
{
    PtyInstrument instrument(InstrumentOptions{});
    ASSERT_TRUE(instrument.start(nullptr));
    pointPorts(instrument.slavePath(), QString());
    {
        TPortsDialog dlg;
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Настройка портов"));
        EXPECT_EQ(dlg.Com1Edit->text(), instrument.slavePath());
        EXPECT_TRUE(dlg.Com2Edit->text().isEmpty());
        EXPECT_TRUE(dlg.Com2State->text().startsWith(QStringLiteral("/dev/ttyS1: ")));
        // The assigned device is listed even though no enumeration finds a pseudo-terminal.
        int row = -1;
        for (int r = 0; r < dlg.PortList->rowCount(); ++r) {
            if (dlg.PortList->item(r, 0)->text() == instrument.slavePath())
                row = r;
        }
        ASSERT_GE(row, 0);
        EXPECT_EQ(dlg.PortList->item(row, 4)->text(), QStringLiteral("доступен"));
        dlg.PortList->selectRow(row);
        dlg.refresh();
        EXPECT_EQ(dlg.selectedPath(), instrument.slavePath()); // a refresh keeps the selection
        dlg.Com2Assign->click();
        EXPECT_EQ(dlg.Com2Edit->text(), instrument.slavePath());
        dlg.Com1Edit->setText(missing("ttyUSB3"));
        EXPECT_EQ(dlg.Com1State->text(), missing("ttyUSB3") + QStringLiteral(": нет такого устройства"));
        dlg.reject(); // Cancel stores nothing
    }
    EXPECT_EQ(SerialPorts::assignedPort(1), instrument.slavePath());
    EXPECT_EQ(SerialPorts::assignedPort(2), QString());
    {
        TPortsDialog dlg;
        dlg.Com1Edit->clear();
        dlg.Com2Edit->setText(QStringLiteral(" /dev/serial/by-id/usb-Maker-if00 "));
        dlg.accept();
    }
    EXPECT_EQ(SerialPorts::assignedPort(1), QString());
    EXPECT_EQ(TCommPortDriver::resolvePortName(QStringLiteral("\\\\.\\COM1")), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(SerialPorts::assignedPort(2), QStringLiteral("/dev/serial/by-id/usb-Maker-if00"));
}
