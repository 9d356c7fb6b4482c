// The schedule check on a clock the test steps: each second since the previous check looked at
// once, values that are no moment never firing.
#include "schedule_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ovistra::ScheduleCheck;
using Event = ScheduleCheck::Event;

QDateTime At(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMddHHmmss"));
}

TEST(ScheduleCheck, EachSecondSinceTheLastCheckIsLookedAtOnce) {
    struct Case {
        const char* name;
        const char* start;
        const char* end;
        std::vector<const char*> ticks;
        std::vector<std::vector<Event>> expected;  // per tick
    };
    const Case cases[] = {
        {"start then end",
         "20070325143000",
         "20070325150000",
         {"20070325142959", "20070325143000", "20070325143001", "20070325150000"},
         {{}, {{2, true}}, {}, {{2, false}}}},
        {"a tick two seconds late still fires, once",
         "20070325143000",
         "",
         {"20070325142959", "20070325143001", "20070325143002"},
         {{}, {{2, true}}, {}}},
        {"a step back does not fire again",
         "20070325143000",
         "",
         {"20070325143000", "20070325142959", "20070325143000", "20070325143001"},
         {{{2, true}}, {}, {}, {}}},
        {"a jump of an hour fires nothing in between",
         "20070325143000",
         "20070325143010",
         {"20070325140000", "20070325150000"},
         {{}, {}}},
        {"a start already past at the first check never fires",
         "20070325143000",
         "20070325143003",
         {"20070325143001", "20070325143003"},
         {{}, {{2, false}}}},
        {"equal start and end: start, then end",
         "20070325143000",
         "20070325143000",
         {"20070325142959", "20070325143000"},
         {{}, {{2, true}, {2, false}}}},
        {"values that are no moment never fire",
         "19711010",
         "20070231143000",
         {"19711010000000", "19711010000001"},
         {{}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScheduleCheck check;
        std::array<ScheduleCheck::Schedule, 4> schedules;
        schedules[1] = {true, QString::fromLatin1(c.start), QString::fromLatin1(c.end)};
        // An inactive camera with the same moments never fires.
        schedules[2] = {false, QString::fromLatin1(c.start), QString::fromLatin1(c.end)};
        for (size_t i = 0; i < c.ticks.size(); ++i) {
            EXPECT_EQ(check.Advance(At(c.ticks[i]), schedules), c.expected[i]) << c.ticks[i];
        }
    }
}

TEST(ScheduleCheck, BadStoredValuesNeverFire) {
    const QString bad[] = {
        "",
        "19711010",
        "20070231143000",                   // no 31 February
        "20070325256199",                   // no such time
        "2007032514300",                    // 13 digits
        "200703251430000",                  // 15 digits
        QString(100000, QChar('2')),        // very long
        QStringLiteral("2007032514300\u00e9"),  // not ASCII
        " 20070325143000",
    };
    for (const QString& value : bad) {
        ScheduleCheck check;
        std::array<ScheduleCheck::Schedule, 4> schedules;
        for (auto& schedule : schedules) {
            schedule = {true, value, value};
        }
        QDateTime tick = At("20070325142950");
        for (int i = 0; i < 20; ++i, tick = tick.addSecs(1)) {
            EXPECT_TRUE(check.Advance(tick, schedules).empty()) << value.left(20).toStdString();
        }
    }
}

}  // namespace
