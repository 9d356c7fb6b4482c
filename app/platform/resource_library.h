// The station's resource library (libuipack.so): numbered texts, dialog templates, icons,
// bitmaps and menus from the Qt resource bundle the library registers when it is loaded.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <memory>

class QLibrary;
class QMenu;
class QWidget;

namespace ovistra {

// Keep the object alive while any text, template or menu taken from it is in use: unloading the
// library unregisters its bundle. The texts are parsed once at load, so Text and HasText may be
// called from any thread; everything else belongs to the UI thread (QPixmap, QUiLoader).
class ResourceLibrary {
public:
    static constexpr const char* kFileName = "libuipack.so";

    // Loads libuipack.so from the station's own folders (FindRuntimeLibrary) and checks its
    // format version. Null with a one-line reason in *error when it is missing, is not a
    // library, lacks uipack_format_version or reports another version.
    static std::unique_ptr<ResourceLibrary> Load(QString* error);
    // The same for an explicit file.
    static std::unique_ptr<ResourceLibrary> LoadFile(const QString& path, QString* error);

    ResourceLibrary(const ResourceLibrary&) = delete;
    ResourceLibrary& operator=(const ResourceLibrary&) = delete;
    ~ResourceLibrary();  // the last loader of a file unloads it, unregistering its resources

    QString Text(int id) const;  // empty when the number has no text
    bool HasText(int id) const;

    QWidget* LoadTemplate(int id, QWidget* parent) const;  // null when missing or unreadable
    // The template as the whole content of `dialog`, which takes its title; null as above.
    QWidget* LoadTemplateInto(int id, QWidget* dialog) const;
    QIcon Icon(int id) const;      // null when missing
    QPixmap Bitmap(int id) const;  // null when missing
    // Each action's data() is its command number; null when the menu is missing.
    QMenu* LoadMenu(int id, QWidget* parent) const;

    // By objectName "id<number>", root included; null when absent.
    static QWidget* FindControl(QWidget* root, int id);

    // The string table, "<number><TAB><text>" per line; "\n", "\t" and "\\" in a text are
    // escapes. Blank lines, "#" comments, numbers outside 1..65535, empty texts and any other
    // malformed line are skipped; of a repeated number the first line wins.
    static QHash<int, QString> ParseStringTable(const QByteArray& utf8);

    // A menu from "<command number><TAB><text>" lines; "-" alone is a separator. Malformed
    // lines are skipped.
    static QMenu* BuildMenu(const QByteArray& utf8, QWidget* parent);

private:
    ResourceLibrary(std::shared_ptr<QLibrary> library, QHash<int, QString> texts);

    std::shared_ptr<QLibrary> library_;  // shared by the loaders of one file
    QHash<int, QString> texts_;
};

}  // namespace ovistra
