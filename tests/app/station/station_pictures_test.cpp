// Still pictures of a shown station go to its one picture browser; an emptied browser closes
// and the next picture opens a new one; the station's end asks once about pictures nobody kept,
// and a box nobody answers keeps them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>

#include "c_thumbnail_dlg.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

class PictureDialog : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~PictureDialog() override { CloseMailbox(); }
    using CQuorvaneDlg::CurrentImage;
    using CQuorvaneDlg::pictureBrowser_;
};

class StationPictures : public ovistra::testing::StationFixture {
protected:
    void SetUp() override {
        StationFixture::SetUp();
        AddSimulatedDevice();
        StoreRecordFolder();
    }
    QStringList Stills() const {
        return QDir(dir.filePath("rec/image")).entryList({"*.bmp"}, QDir::Files);
    }
};

TEST_F(StationPictures, StillsFillOneBrowserUntilItIsEmptiedAndTheEndAsksOnceAboutUnkeptOnes) {
    std::vector<int> listed;
    QStringList onDisk;
    QStringList afterEmptied;
    {
        PictureDialog dialog(context);
        auto everyCameraShows = [&] {
            for (int camera = 1; camera <= 4; ++camera) {
                if (dialog.CurrentImage(camera).isEmpty()) {
                    return false;
                }
            }
            return true;
        };
        std::vector<Step> steps{
            {everyCameraShows,
             [&] {
                 dialog.OnCommand(ids::kStillAllButton);
                 ASSERT_NE(dialog.pictureBrowser_, nullptr);
                 EXPECT_TRUE(dialog.pictureBrowser_->isVisible());
                 listed.push_back(dialog.pictureBrowser_->pictures().count());
                 dialog.OnCommand(ids::kStillAllButton);
                 listed.push_back(dialog.pictureBrowser_->pictures().count());
                 onDisk = Stills();
                 auto* empty = qobject_cast<QAbstractButton*>(
                     dialog.pictureBrowser_->Control(CThumbnailDlg::kDeleteAllAndCloseButton));
                 ASSERT_NE(empty, nullptr);
                 empty->click();  // confirmed by the box's default answer
             }},
            {[&] { return dialog.pictureBrowser_ == nullptr; },
             [&] {
                 afterEmptied = Stills();
                 dialog.OnCommand(ids::kStillAllButton);
                 ASSERT_NE(dialog.pictureBrowser_, nullptr);
                 listed.push_back(dialog.pictureBrowser_->pictures().count());
                 platform::MessageBoxes::Instance().ClearHistory();
             }},
        };
        AfterLoopStarts(dialog, 0, [&] { TakeSteps(dialog, std::move(steps)); });
        EXPECT_TRUE(dialog.RunModal());
    }
    EXPECT_EQ(listed, (std::vector<int>{4, 8, 4}));
    EXPECT_EQ(onDisk.size(), 8);
    EXPECT_TRUE(afterEmptied.isEmpty());
    int asked = 0;
    for (const platform::ShownMessage& box : platform::MessageBoxes::Instance().History()) {
        asked += box.textId == 370 ? 1 : 0;
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Stills().size(), 4);
}

}  // namespace
