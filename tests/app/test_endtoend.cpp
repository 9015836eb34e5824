// The table document end to end: the main window's commands with the real download dialog,
// against the instrument simulator on a pseudo-terminal.
#include "app/main.h"
#include "base/regional.h"
#include "data/measurementtable.h"
#include "device/widgets/receive.h"
#include "simulator/ptyinstrument.h"
#include "support/scriptedprompts.h"
#include "ui/apptitle.h"
#include "view/widgets/tablecontroller.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

// The first `records` readings of a generated memory, as an instrument holding only those.
QByteArray firstReadings(const QByteArray &image, int records)
{
    QByteArray part = image.left(2 + 12 * records);
    part[0] = char(records & 0xFF);
    part[1] = char(records >> 8);
    return part;
}

class EndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setApplicationTitle(programTitle());
        settings.setValue(QStringLiteral("Ports/COM2"), work.filePath(QStringLiteral("no-com2")));
        form = std::make_unique<TForm1>();
        form2 = std::make_unique<TForm2>(form.get());
        form->setDownloadDialog(form2.get());
    }
    void TearDown() override
    {
        form2.reset();
        form.reset();
        setApplicationTitle(QString());
    }

    // An instrument of the given model holding `image`, reached through "\\.\COM1".
    void plugIn(const QByteArray &image, int model)
    {
        InstrumentOptions options;
        options.model = model;
        options.image = image;
        instrument = std::make_unique<PtyInstrument>(options);
        instrument->setCharsPerSecond(0);
        QString error;
        ASSERT_TRUE(instrument->start(&error)) << error.toStdString();
        settings.setValue(QStringLiteral("Ports/COM1"), instrument->slavePath());
    }

    QStringList column(const QString &field)
    {
        QStringList values;
        const int f = form->Dbf1().fieldIndex(field);
        for (int row = 0; row < form->Dbf1().rowCount(); ++row)
            values << form->Dbf1().text(form->Dbf1().recordAt(row), f);
        return values;
    }

    TemporarySettings settings;
    ScriptedPrompts prompts;
    QTemporaryDir work;
    RegionalScope pin{Regional::russian()};
    std::unique_ptr<PtyInstrument> instrument;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> form2;
};

} // namespace

TEST_F(EndToEndTest, NewAppendSaveAndCloseAgainstTheSimulator)
{
    const QByteArray full = InstrumentSimulator::generateImage(40, 5);
    plugIn(firstReadings(full, 25), 5);

    // New: the whole memory in a new table; the title stays the program's.
    const QString file = work.filePath(QStringLiteral("e2e.db"));
    prompts.fileNames.push_back(file);
    form->N2->trigger();
    EXPECT_TRUE(prompts.messages.empty()) << prompts.log.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(form->TableOpen());
    EXPECT_EQ(form->Dbf1().rowCount(), 25);
    EXPECT_EQ(column(Measurement::N).first(), QStringLiteral("1"));
    EXPECT_EQ(column(Measurement::N).last(), QStringLiteral("25"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Лкт-ДН7"));
    EXPECT_EQ(instrument->commandsReceived(), QByteArrayLiteral("VN"));

    // Append with nothing newer: 0 added, and the table is still saved.
    emit form->tableController()->editStarted();
    form->N4->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Добавлено записей: 0"));
    EXPECT_EQ(form->Dbf1().rowCount(), 25);
    EXPECT_FALSE(form->TableModified());

    // The instrument has taken 15 more readings: only those are appended.
    plugIn(full, 5);
    form->N4->trigger();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, QStringLiteral("Добавлено записей: 15"));
    EXPECT_EQ(form->Dbf1().rowCount(), 40);
    EXPECT_EQ(column(Measurement::N).last(), QStringLiteral("40"));

    // Close, then Open of the same file: title from the file name.
    form->N7->trigger();
    EXPECT_FALSE(form->TableOpen());
    prompts.fileNames.push_back(file);
    form->N3->trigger();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("e2e - Лкт-ДН7"));
    EXPECT_EQ(form->Dbf1().rowCount(), 40);
}

TEST_F(EndToEndTest, NewWithoutAnInstrumentLeavesNoTable)
{
    settings.setValue(QStringLiteral("Ports/COM1"), work.filePath(QStringLiteral("no-com1")));
    prompts.fileNames.push_back(work.filePath(QStringLiteral("none.db")));
    form->N2->trigger();
    EXPECT_FALSE(form->TableOpen());
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("none.db"))));
}
