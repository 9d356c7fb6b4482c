// Still pictures of a shown station go to its one picture browser; an emptied browser closes
// and the next picture opens a new one; pictures nobody kept go with the station.
#include <gtest/gtest.h>

#include <QDir>

#include "c_thumbnail_dlg.h"
#include "station_fixture.h"

namespace {

using namespace ovistra;

class PictureDialog : public CQuorvaneDlg {
public:
    using CQuorvaneDlg::CQuorvaneDlg;
    ~PictureDialog() override { CloseMailbox(); }
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

TEST_F(StationPictures, StillsFillOneBrowserUntilItIsEmptiedAndUnkeptOnesGoWithTheStation) {
    std::vector<int> listed;
    QStringList onDisk;
    {
        PictureDialog dialog(context);
        AfterLoopStarts(dialog, 1500, [&] {
            dialog.OnCommand(ids::kStillAllButton);
            ASSERT_NE(dialog.pictureBrowser_, nullptr);
            EXPECT_TRUE(dialog.pictureBrowser_->isVisible());
            listed.push_back(dialog.pictureBrowser_->pictures().count());
            dialog.OnCommand(ids::kStillAllButton);
            listed.push_back(dialog.pictureBrowser_->pictures().count());
            onDisk = Stills();
            // As the browser's "delete all and close" tells its opener.
            dialog.PostMessage(ids::kPictureBrowserClosed, 0, 0);
        });
        AfterLoopStarts(dialog, 1700, [&] {
            EXPECT_EQ(dialog.pictureBrowser_, nullptr);
            dialog.OnCommand(ids::kStillAllButton);
            ASSERT_NE(dialog.pictureBrowser_, nullptr);
            listed.push_back(dialog.pictureBrowser_->pictures().count());
        });
        EXPECT_TRUE(RunThenExit(dialog, 1900));
        EXPECT_FALSE(Stills().isEmpty());  // the station closed; its window is not gone yet
    }
    EXPECT_EQ(listed, (std::vector<int>{4, 8, 4}));
    EXPECT_EQ(onDisk.size(), 8);
    EXPECT_TRUE(Stills().isEmpty());
}

}  // namespace
