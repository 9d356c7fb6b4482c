// One picture slot of the picture browser: the picture stretched inside a one-pixel frame, red
// while selected and white otherwise, or an empty slot when there is no picture or the file
// cannot be read. A right click on a slot with a picture tells its owner (which selects the
// slot) and then opens the slot menu at the cursor.
#pragma once

#include <QPushButton>
#include <memory>

class QMenu;

namespace ovistra {

class ThumbnailCache;

class CPictureButton : public QPushButton {
    Q_OBJECT

public:
    static constexpr int kPictureInset = 2;

    // Slots of one dialog share `thumbnails`, so a picture moving to the next slot is not
    // read again.
    CPictureButton(std::shared_ptr<ThumbnailCache> thumbnails, QWidget* parent = nullptr);
    ~CPictureButton() override;

    // The menu's commands go where its owner connected them; `owner` gets the right click
    // (a right mouse press at the same screen point) before the menu opens.
    void SetContextMenu(QMenu* menu, QWidget* owner);
    void SetSelected(bool selected);
    void SetImage(const QString& path);  // empty: no picture

    bool selected() const { return selected_; }
    const QString& image() const { return path_; }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::shared_ptr<ThumbnailCache> thumbnails_;
    QMenu* menu_ = nullptr;
    QWidget* owner_ = nullptr;
    bool selected_ = false;
    QString path_;
};

}  // namespace ovistra
