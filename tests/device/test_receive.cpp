// The download dialog: its layout, and whole downloads through it against the simulated
// instrument on a pseudo-terminal.
#include "app/prompts.h"
#include "device/ptyinstrument.h"
#include "device/receive.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class RecordingPrompts : public Prompts
{
public:
    struct Shown
    {
        QString text;
        QString caption;
        MessageIcon icon;
    };
    QList<Shown> shown;

    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override
    {
        shown.append({text, caption, icon});
    }
    Answer askYesNo(const QString &, const QString &, MessageIcon) override { return Answer::No; }
    QString saveFileName(const FileDialogRequest &) override { return {}; }
    QString openFileName(const FileDialogRequest &) override { return {}; }
    bool chooseColor(QColor *) override { return false; }
    bool printDialog(QPrinter *, int) override { return false; }
};

// Temporary settings with "\\.\COM1" and "\\.\COM2" pointed at the given devices.
class DialogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        Prompts::setInstance(&prompts);
        memoryImage().clear();
        deviceInfo() = DeviceInfo();
    }
    void TearDown() override { Prompts::setInstance(nullptr); }

    void pointPorts(const QString &com1, const QString &com2)
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvelt"),
                    QStringLiteral("QPX"));
        s.setValue(QStringLiteral("1.0/Ports/COM1"), com1);
        s.setValue(QStringLiteral("1.0/Ports/COM2"), com2);
        s.sync();
    }
    QString missing(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    RecordingPrompts prompts;

private:
    QTemporaryDir m_dir;
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
    EXPECT_EQ(port.Port(), pnCustom);
    EXPECT_EQ(port.PortName(), QStringLiteral("\\\\.\\COM1"));
    EXPECT_EQ(port.InBufSize(), 4096u);
    EXPECT_EQ(port.OutBufSize(), 4096u);
    EXPECT_FALSE(port.EnableDTROnOpen());
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
        timersSeen = dlg.windowTitle() == QStringLiteral("Прием данных") &&
                     dlg.runner().Timer1().interval() == 3000 && !dlg.runner().Timer2().isActive();
    });
    const int result = dlg.exec();
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(timersSeen);
    EXPECT_TRUE(prompts.shown.isEmpty());
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
        EXPECT_FALSE(dlg.runner().Timer1().isActive());
        EXPECT_TRUE(prompts.shown.isEmpty());
    }
    // Nothing on COM1, the wrong instrument on COM2.
    {
        TForm2 dlg;
        EXPECT_EQ(dlg.exec(), 2);
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Вы подключили не тот прибор !"));
        EXPECT_EQ(deviceInfo().TypeCode, 4);
        EXPECT_FALSE(dlg.CommPortDriver1().IsOpen());
        EXPECT_EQ(other.commandsReceived(), QByteArrayLiteral("V"));
    }
}

// Not a test of behaviour: renders the dialog in the middle of a download for the docs when
// QPX_SCREENSHOT names a file.
TEST_F(DialogFixture, Screenshot)
{
    const QString target = qEnvironmentVariable("QPX_SCREENSHOT");
    if (target.isEmpty())
        GTEST_SKIP();
    InstrumentOptions options;
    options.image = InstrumentSimulator::generateImage(120, 1);
    PtyInstrument instrument(options);
    ASSERT_TRUE(instrument.start(nullptr));
    pointPorts(instrument.slavePath(), missing("com2"));
    TForm2 dlg;
    QTimer::singleShot(2600, &dlg, [&] {
        dlg.grab().save(target);
        dlg.Button1->click();
    });
    dlg.exec();
}
