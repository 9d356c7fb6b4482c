// The picture browser's pictures: the still pictures and exports added since start, shown five
// at a time, one of them selected, and what can be done to them on disk. Each picture keeps
// its own folder, so pictures from two folders (exports of two cameras, stills before and after
// a record folder change) always name the right files.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace ovistra {

class PictureList {
public:
    static constexpr int kSlots = 5;

    struct Picture {
        QString folder;
        QString name;
        QString path() const;
    };

    enum class Conversion { Converted, NoSelection, BadName, Exists, Failed };

    // Appends a picture; past five, the view moves on to show the newest in the last slot,
    // which is selected.
    void Add(const QString& path);
    // Shows the newest picture and selects it.
    void SelectNewest();

    int count() const { return static_cast<int>(pictures_.size()); }
    int offset() const { return offset_; }
    int selectedSlot() const { return slot_; }  // 0..4, -1 none
    // The selected picture's place in the list, when the selected slot shows one.
    std::optional<int> SelectedIndex() const;
    // The picture a slot (0..4) shows; null for an empty slot.
    const Picture* SlotPicture(int slot) const;

    // Selects a slot; false (nothing changes) for an empty one.
    bool Select(int slot);
    void ScrollForward();
    void ScrollBack();

    // Removes the selected picture from the list and from disk.
    bool DeleteSelected();
    // Removes every picture from the list and from disk.
    void DeleteAll();
    // Removes every picture from the list; the files stay as they are.
    void KeepAll();

    // The selected picture as a JPEG named after `editedName` (cut at its first ".") in the
    // picture's folder; the name must be a plain file name. An existing JPEG is replaced only
    // when `replace` is set. A converted picture leaves the list; its BMP is deleted when
    // `deleteBitmap` is set. A picture that could not be converted stays listed and on disk.
    Conversion ConvertSelected(const QString& editedName, bool deleteBitmap, bool replace);
    // Every picture, each under its own name; the converted ones leave the list with their BMPs
    // deleted, the others stay. Returns how many could not be converted.
    int ConvertAll();

private:
    Conversion Convert(const Picture& picture, const QString& baseName, bool replace) const;
    void RemoveAt(int index);

    std::vector<Picture> pictures_;
    int offset_ = 0;
    int slot_ = -1;
};

}  // namespace ovistra
