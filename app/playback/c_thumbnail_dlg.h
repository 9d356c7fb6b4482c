// The picture browser: the still pictures and exports of this run, five at a time, to be
// opened, printed, kept as JPEG or deleted. No picture is deleted unasked: closing it with
// pictures listed asks once whether to keep them, convert them to JPEG or delete them (a box
// answered without a user keeps them), and so does the station's end; a browser destroyed
// unasked leaves its files alone. Modeless; closing hides it, and emptying it with confirmation
// posts ids::kPictureBrowserClosed (0, 0) to its opener.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "message_window.h"
#include "picture_list.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;

namespace ovistra {

class CPictureButton;
class ResourceLibrary;
class ThumbnailCache;

class CThumbnailDlg : public QDialog {
    Q_OBJECT

public:
    // Controls of template 131.
    static constexpr std::array<int, PictureList::kSlots> kSlotIds{1049, 1050, 1012, 1013, 1014};
    static constexpr std::array<int, PictureList::kSlots> kNameEditIds{1006, 1007, 1008, 1009,
                                                                       1010};
    static constexpr int kCountDisplay = 1098;
    static constexpr int kIndexDisplay = 1099;
    static constexpr int kOpenButton = 1015;
    static constexpr int kForwardButton = 1091;
    static constexpr int kConvertAndDeleteButton = 1092;
    static constexpr int kConvertAllButton = 1093;
    static constexpr int kDeleteButton = 1094;
    static constexpr int kDeleteAllButton = 1095;
    static constexpr int kDeleteAllAndCloseButton = 1096;
    static constexpr int kBackButton = 1097;
    static constexpr int kCancelButton = 2;
    // Commands of the slot menu (menu 133).
    static constexpr int kOpenCommand = 32797;
    static constexpr int kPrintCommand = 32798;
    static constexpr int kPropertiesCommand = 32799;  // shown, never available
    static constexpr int kDeleteCommand = 32800;
    static constexpr int kConvertCommand = 32801;

    // A printer set up for one picture, or null when the user cancelled.
    using PrinterChooser = std::function<std::unique_ptr<QPrinter>(QWidget* parent)>;

    // The resource library must outlive the dialog.
    CThumbnailDlg(const ResourceLibrary& resources, platform::WindowHandle opener,
                  QWidget* parent = nullptr);
    ~CThumbnailDlg() override;

    // Lists a picture with its own folder; past five, it is shown in the last slot, selected.
    void AddPicture(const QString& path);
    // The newest picture shown and selected: a picture the user just exported.
    void SelectNewest();

    // The standard print dialog unless replaced (headless runs and tests print without asking).
    void SetPrinterChooser(PrinterChooser chooser);

    // Asks what becomes of the listed pictures, once, and empties the list as answered.
    void SettleUnkept();

    const PictureList& pictures() const { return pictures_; }
    QWidget* Control(int id) const;  // null when the template has no such control
    QMenu* slotMenu() const { return slotMenu_; }

public slots:
    void reject() override;  // Cancel and closing: the listed pictures are settled, then hide

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ReplaceControls();
    void ApplyColours();
    void Command(int id);
    void SelectSlot(int slot);
    void RefreshSlots();
    void OpenSelected();
    void PrintSelected();
    void DeleteSelected();
    void ConvertSelected(bool deleteBitmap);
    void ConvertAll();
    void DeleteAll();
    void DeleteAllAndClose();

    platform::WindowHandle opener_;
    PictureList pictures_;
    PrinterChooser choosePrinter_;
    std::shared_ptr<ThumbnailCache> thumbnails_;
    QWidget* form_ = nullptr;
    QMenu* slotMenu_ = nullptr;
    std::array<CPictureButton*, PictureList::kSlots> slots_{};
    std::array<QLineEdit*, PictureList::kSlots> nameEdits_{};
    QLabel* countDisplay_ = nullptr;
    QLabel* indexDisplay_ = nullptr;
};

}  // namespace ovistra
