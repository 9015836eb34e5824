// The general error handler: caption, icon, the full-stop rule, and that the program goes on.
#include "base/errors.h"
#include "support/scriptedprompts.h"
#include "ui/apptitle.h"
#include "ui/errorguard.h"

#include <gtest/gtest.h>
#include <stdexcept>

TEST(ErrorGuard, ShowsTheErrorUnderTheCurrentApplicationTitleAndGoesOn)
{
    ScriptedPrompts prompts;
    setApplicationTitle(QStringLiteral("2005 - Лкт-ДН7"));
    bool restRan = false;
    runGuarded([&] {
        throw RangeError();
        restRan = true;
    });
    EXPECT_FALSE(restRan);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Range check error."));
    EXPECT_EQ(prompts.messages[0].caption, QStringLiteral("2005 - Лкт-ДН7"));
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Error);

    // Errors from outside our hierarchy are caught as well; a handler that succeeds shows nothing.
    runGuarded([] { throw std::runtime_error("boom"); });
    runGuarded([] {});
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, QStringLiteral("boom."));
    setApplicationTitle(QString());
}

TEST(ErrorGuard, FullStopOnlyAfterCharactersThatSortAfterAFullStop)
{
    EXPECT_EQ(errorMessageText(QStringLiteral("Invalid DBF file.")), QStringLiteral("Invalid DBF file."));
    EXPECT_EQ(errorMessageText(QStringLiteral("Disk full?")), QStringLiteral("Disk full?."));
    EXPECT_EQ(errorMessageText(QStringLiteral("База данных повреждена !")),
              QStringLiteral("База данных повреждена !"));
    EXPECT_EQ(errorMessageText(QStringLiteral("'x' is not a valid date and time")),
              QStringLiteral("'x' is not a valid date and time."));
    EXPECT_EQ(errorMessageText(QStringLiteral("(1)")), QStringLiteral("(1)"));
    EXPECT_EQ(errorMessageText(QString()), QString());
}
