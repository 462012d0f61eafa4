#include "foundation/JournalSync.h"
#include "foundation/SettingsJournal.h"

#include "support/Eventually.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

// Each sync asked for is answered once, in the order asked, on the event loop or by finish()
// (the quit); a journal that cannot be opened for its sync is answered with the reason, never
// as synced.
TEST(JournalSyncTest, EverySyncIsAnsweredOnceInOrderWithItsFailure)
{
    struct Case {
        const char* name;
        bool journalExists;
        bool finishAtOnce;
    };
    const Case cases[] = {
        {"a journal, answered by the event loop", true, false},
        {"a journal, answered by the quit", true, true},
        {"no journal", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const QString path = temp.file(QStringLiteral("standard.json.journal"));
        if (c.journalExists) {
            SettingsJournal journal(path);
            QString error;
            ASSERT_TRUE(journal.append("{\"seq\":1}", &error, SettingsJournal::Sync::Later)) << error.toStdString();
        }
        QList<int> answered;
        QStringList failures;
        {
            JournalSync sync(path);
            for (int number = 1; number <= 3; ++number)
                sync.request([&answered, &failures, number](const QString& failure) {
                    answered.append(number);
                    failures.append(failure);
                });
            EXPECT_TRUE(sync.isBusy());
            if (c.finishAtOnce)
                sync.finish();
            else
                ASSERT_EVENTUALLY(!sync.isBusy(), 5000);
        }
        EXPECT_EQ(answered, (QList<int>{1, 2, 3}));
        for (const QString& failure : failures)
            EXPECT_EQ(failure.isEmpty(), c.journalExists) << failure.toStdString();
    }
}

} // namespace
