#include "schedule_record.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimeEdit>
#include <memory>
#include <vector>

#include "local_clock.h"
#include "message_box.h"
#include "posted_messages.h"
#include "resource_library.h"

namespace ovistra {
namespace {

const QDate kToday(2026, 12, 8);

class ScheduleRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        resources_ = ResourceLibrary::LoadFile(UIPACK_LIBRARY, &error);
        ASSERT_TRUE(resources_) << error.toStdString();
        auto& boxes = platform::MessageBoxes::Instance();
        boxes.Configure(platform::MessageBoxes::Mode::Headless,
                        [this](int id) { return resources_->Text(id); });
        boxes.ClearHistory();
        platform::HoldClockAt(QDateTime(kToday, QTime(12, 0)));
        dialog_ = std::make_unique<CScheduleRecord>(*resources_, owner_.Handle());
    }
    void TearDown() override { platform::UseSystemClock(); }

    void Open(const ScheduleValues& values) {
        dialog_->SetValues(values);
        dialog_->Open();
    }
    template <typename T = QAbstractButton>
    T* Get(int id) const {
        auto* control = qobject_cast<T*>(dialog_->Control(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    void Press(int id) { Get(id)->click(); }
    QDateEdit* StartDate() const { return Get<QDateEdit>(1065); }
    QTimeEdit* StartTime() const { return Get<QTimeEdit>(1066); }
    QDateEdit* EndDate() const { return Get<QDateEdit>(1067); }
    QTimeEdit* EndTime() const { return Get<QTimeEdit>(1068); }
    // Text number * 1000 + caption number of every box shown.
    static std::vector<int> Warnings() {
        std::vector<int> shown;
        for (const auto& box : platform::MessageBoxes::Instance().History()) {
            shown.push_back(box.textId * 1000 + box.captionId);
        }
        return shown;
    }
    bool OwnerGot(uint32_t msg) {
        return QTest::qWaitFor([&] { return !owner_.messages.empty() && owner_.messages.back() == msg; }, 5000);
    }

    std::unique_ptr<ResourceLibrary> resources_;
    testing::PostedMessages owner_;
    std::unique_ptr<CScheduleRecord> dialog_;
};

ScheduleValues Sample() {
    return {0b1010,
            {"20070325143000", "20270101080000", "20070401000000", "20270202091500"},
            {"20070325150000", "20270101170000", "20070402000000", "20270202220000"}};
}

TEST_F(ScheduleRecordTest, OpensAtTopRightWithTheMaskedCamerasListedAndTheFirstLoaded) {
    Open(Sample());
    auto* list = Get<QComboBox>(1071);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(0) + list->itemText(1), "24");
    EXPECT_FALSE(Get(1048)->isChecked());
    EXPECT_TRUE(Get(1057)->isChecked());
    EXPECT_EQ(StartDate()->date(), QDate(2027, 1, 1));
    EXPECT_EQ(EndTime()->time(), QTime(17, 0));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(dialog_->frameGeometry().topRight(), area.topRight());

    list->setCurrentIndex(1);  // camera 4; an edit applies to it alone
    EXPECT_EQ(StartTime()->time(), QTime(9, 15));
    EndDate()->setDate(QDate(2027, 3, 3));
    Press(1);
    EXPECT_TRUE(OwnerGot(0x68A));
    EXPECT_EQ(dialog_->Values().end[3], "20270303220000");
    EXPECT_EQ(dialog_->Values().end[1], Sample().end[1]);
}

TEST_F(ScheduleRecordTest, UncheckingEveryBoxDisablesThePickersAndConfirmStoresMaskZero) {
    Open(Sample());
    Press(1057);
    EXPECT_TRUE(StartDate()->isEnabled());
    Press(1059);
    EXPECT_EQ(Get<QComboBox>(1071)->count(), 0);
    for (QWidget* picker :
         std::initializer_list<QWidget*>{StartDate(), StartTime(), EndDate(), EndTime()}) {
        EXPECT_FALSE(picker->isEnabled());
    }
    Press(1);
    EXPECT_TRUE(OwnerGot(0x68A));
    EXPECT_EQ(dialog_->Values(), (ScheduleValues{0, Sample().start, Sample().end}));

    dialog_->Open();  // checking one again enables and loads it
    Press(1058);
    EXPECT_TRUE(EndDate()->isEnabled());
    EXPECT_EQ(EndDate()->date(), QDate(2007, 4, 2));
}

TEST_F(ScheduleRecordTest, ConfirmWarnsOfEachCheckedCameraStartingAfterItsEndAndKeepsIt) {
    const struct {
        uint32_t mask;
        const char* start;
        const char* end;
        std::vector<int> warnings;  // text * 1000 + caption
    } rows[] = {
        {0b1111, "20070325150001", "20070325150000", {130124, 131124, 138124, 140124}},
        {0b0101, "20070326000000", "20070325235959", {130124, 138124}},
        {0b1111, "20070325150000", "20070325150000", {}},
        {0b1111, "20070325150000", "20070325150001", {}},
    };
    for (const auto& row : rows) {
        platform::MessageBoxes::Instance().ClearHistory();
        ScheduleValues values{row.mask, {}, {}};
        values.start.fill(row.start);
        values.end.fill(row.end);
        Open(values);
        Press(1);
        EXPECT_EQ(Warnings(), row.warnings) << row.start;
        EXPECT_EQ(dialog_->Values(), values);
    }
}

TEST_F(ScheduleRecordTest, StartTimeChangeWarnsWhenTheStartDateIsBeforeToday) {
    const struct {
        const char* start;
        std::vector<int> warnings;
    } rows[] = {{"20261207235959", {230000}}, {"20261208000000", {}}, {"20261209000000", {}}};
    for (const auto& row : rows) {
        platform::MessageBoxes::Instance().ClearHistory();
        Open({1, {row.start}, {"20991231235959"}});
        StartTime()->setTime(QTime(6, 30, 5));
        EXPECT_EQ(Warnings(), row.warnings) << row.start;
        Press(1);
        EXPECT_EQ(dialog_->Values().start[0], QString(row.start).left(8) + "063005");
    }
}

TEST_F(ScheduleRecordTest, CancelRestoresStartAndEndAndReopeningShowsTheLastConfirmed) {
    Open(Sample());
    StartDate()->setDate(QDate(2028, 5, 6));
    EndTime()->setTime(QTime(23, 0));
    Press(1);
    ScheduleValues confirmed = Sample();
    confirmed.start[1] = "20280506080000";
    confirmed.end[1] = "20270101230000";
    EXPECT_EQ(dialog_->Values(), confirmed);

    dialog_->Open();
    EXPECT_EQ(StartDate()->date(), QDate(2028, 5, 6));
    EXPECT_EQ(EndTime()->time(), QTime(23, 0));
    StartTime()->setTime(QTime(1, 2, 3));
    EndDate()->setDate(QDate(2030, 1, 1));
    Press(1059);
    dialog_->close();  // the window's close button cancels too
    EXPECT_TRUE(OwnerGot(0x68B));
    EXPECT_FALSE(dialog_->isVisible());

    dialog_->Open();
    EXPECT_TRUE(Get(1059)->isChecked());
    EXPECT_EQ(StartTime()->time(), QTime(8, 0));
    EXPECT_EQ(EndDate()->date(), QDate(2027, 1, 1));
    Press(1);
    EXPECT_EQ(dialog_->Values(), confirmed);
}

TEST_F(ScheduleRecordTest, DamagedValuesShowNeutralPickersAndSurviveAnUntouchedConfirm) {
    const QString huge(200000, u'9');
    const struct {
        QString value;
        QDate date;  // invalid: the neutral date
        QTime time;  // invalid: the neutral time
    } rows[] = {
        {"", {}, {}},
        {"19711010", QDate(1971, 10, 10), {}},
        {"20070231143000", {}, QTime(14, 30)},
        {"20070325256199", QDate(2007, 3, 25), {}},
        {"2007032514300", QDate(2007, 3, 25), {}},
        {"200703251430000", QDate(2007, 3, 25), {}},
        {"2007-03-25 14:30", {}, {}},
        {QString::fromUtf8("２００７０３２５１４３０００"), {}, {}},
        {QString::fromUtf8("20070325\xC3\xA9\x00"
                           "12",
                           12),
         QDate(2007, 3, 25),
         {}},
        {huge, {}, {}},
    };
    for (const auto& row : rows) {
        platform::MessageBoxes::Instance().ClearHistory();
        const ScheduleValues values{
            0b1001, {row.value, "", "", row.value}, {row.value, "x", "", row.value}};
        Open(values);
        const std::string label = row.value.left(20).toStdString();
        EXPECT_EQ(StartDate()->date(), row.date.isValid() ? row.date : kToday) << label;
        EXPECT_EQ(EndTime()->time(), row.time.isValid() ? row.time : QTime(0, 0)) << label;
        Press(1);
        EXPECT_EQ(dialog_->Values(), values) << label;
        EXPECT_TRUE(Warnings().empty()) << label;
    }
    // An edit stores the moment the pickers show, not half of the damaged value.
    Open({1, {"20070231143000"}, {}});
    StartTime()->setTime(QTime(15, 0));
    Press(1);
    EXPECT_EQ(dialog_->Values().start[0], "20261208150000");
}

}  // namespace
}  // namespace ovistra
