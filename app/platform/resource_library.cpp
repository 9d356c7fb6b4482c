#include "resource_library.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QMenu>
#include <QMutex>
#include <QStringList>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QWidget>
#include <map>
#include <utility>

#include "runtime_paths.h"
#include "uipack.h"

namespace ovistra {
namespace {

constexpr int kLargestNumber = 65535;  // texts and commands are 16-bit numbers

QString ResourcePath(const char* folder, int id, const char* suffix) {
    return QStringLiteral(":/uipack/%1%2%3")
        .arg(QLatin1String(folder))
        .arg(id)
        .arg(QLatin1String(suffix));
}

QString OneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
}

// Lines without their line ends; a leading byte order mark is dropped.
QList<QByteArray> Lines(QByteArray utf8) {
    if (utf8.startsWith("\xEF\xBB\xBF")) {
        utf8.remove(0, 3);
    }
    QList<QByteArray> lines = utf8.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return lines;
}

// The number before the first tab of a line, and the text after it; false for anything else.
bool SplitNumbered(const QByteArray& line, int* number, QByteArray* rest) {
    const qsizetype tab = line.indexOf('\t');
    if (tab < 1 || tab > 5) {
        return false;
    }
    int value = 0;
    for (qsizetype i = 0; i < tab; ++i) {
        const char c = line[i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kLargestNumber) {
        return false;
    }
    *number = value;
    *rest = line.mid(tab + 1);
    return true;
}

QString Unescape(const QString& raw) {
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == u'\\' && i + 1 < raw.size()) {
            const QChar next = raw[i + 1];
            if (next == u'n' || next == u't' || next == u'\\') {
                out += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// QLibrary objects of one file share its handle, and unloading one of them can unload the file
// for the others too; so the loaders of one file share one QLibrary, unloaded with the last.
struct OpenLibraries {
    QMutex mutex;
    std::map<QString, std::weak_ptr<QLibrary>> byPath;
};

OpenLibraries& Libraries() {
    static auto* libraries = new OpenLibraries;  // never destroyed: loaders may outlive statics
    return *libraries;
}

std::shared_ptr<QLibrary> OpenLibrary(const QString& canonicalPath, QString* loadError) {
    OpenLibraries& libraries = Libraries();
    QMutexLocker lock(&libraries.mutex);
    std::weak_ptr<QLibrary>& entry = libraries.byPath[canonicalPath];
    if (auto open = entry.lock()) {
        return open;
    }
    auto library = std::make_unique<QLibrary>(canonicalPath);
    if (!library->load()) {
        *loadError = library->errorString();
        return nullptr;
    }
    std::shared_ptr<QLibrary> shared(library.release(), [](QLibrary* last) {
        QMutexLocker lock(&Libraries().mutex);
        last->unload();
        delete last;
    });
    entry = shared;
    return shared;
}

QByteArray ReadResource(const QString& path, bool* found) {
    QFile file(path);
    *found = file.open(QIODevice::ReadOnly);
    return *found ? file.readAll() : QByteArray();
}

}  // namespace

ResourceLibrary::ResourceLibrary(std::shared_ptr<QLibrary> library, QHash<int, QString> texts)
    : library_(std::move(library)), texts_(std::move(texts)) {}

ResourceLibrary::~ResourceLibrary() = default;

std::unique_ptr<ResourceLibrary> ResourceLibrary::Load(QString* error) {
    const QString fileName = QLatin1String(kFileName);
    const QString path = platform::FindRuntimeLibrary(fileName);
    if (path.isEmpty()) {
        if (error) {
            *error = QStringLiteral("%1 not found (looked for %2)")
                         .arg(fileName, platform::RuntimeLibraryCandidates(fileName).join(", "));
        }
        return nullptr;
    }
    return LoadFile(path, error);
}

std::unique_ptr<ResourceLibrary> ResourceLibrary::LoadFile(const QString& path, QString* error) {
    auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return nullptr;
    };
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return fail(QStringLiteral("resource library %1 not found").arg(path));
    }
    if (!info.isFile()) {
        return fail(QStringLiteral("resource library %1 is not a file").arg(path));
    }
    const QString absolute = info.absoluteFilePath();
    QString loadError;
    std::shared_ptr<QLibrary> library = OpenLibrary(info.canonicalFilePath(), &loadError);
    if (!library) {
        return fail(
            QStringLiteral("%1 is not a loadable library: %2").arg(absolute, OneLine(loadError)));
    }
    using VersionFunction = int (*)();
    const auto version =
        reinterpret_cast<VersionFunction>(library->resolve("uipack_format_version"));
    if (!version) {
        return fail(QStringLiteral("%1 is not a resource library (no uipack_format_version)")
                        .arg(absolute));
    }
    const int found = version();
    if (found != UIPACK_FORMAT_VERSION) {
        return fail(
            QStringLiteral("%1 has resource format %2, this station reads format %3")
                .arg(absolute, QString::number(found), QString::number(UIPACK_FORMAT_VERSION)));
    }
    bool hasTable = false;
    const QByteArray table = ReadResource(QStringLiteral(":/uipack/strings.tsv"), &hasTable);
    if (!hasTable) {
        return fail(QStringLiteral("%1 carries no string table").arg(absolute));
    }
    return std::unique_ptr<ResourceLibrary>(
        new ResourceLibrary(std::move(library), ParseStringTable(table)));
}

QString ResourceLibrary::Text(int id) const {
    return texts_.value(id);
}

bool ResourceLibrary::HasText(int id) const {
    return texts_.contains(id);
}

QWidget* ResourceLibrary::LoadTemplate(int id, QWidget* parent) const {
    QFile file(ResourcePath("dialogs/", id, ".ui"));
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    QUiLoader loader;
    // Templates use standard widgets only; never pull Designer plugins of the machine in.
    loader.clearPluginPaths();
    return loader.load(&file, parent);
}

QWidget* ResourceLibrary::LoadTemplateInto(int id, QWidget* dialog) const {
    // A layout even without a template, so a dialog whose template is missing still opens.
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* form = LoadTemplate(id, dialog);
    if (form) {
        layout->addWidget(form);
        dialog->setWindowTitle(form->windowTitle());
    }
    return form;
}

QIcon ResourceLibrary::Icon(int id) const {
    // A copy of the pixels, so the icon outlives the bundle.
    const QPixmap pixmap(ResourcePath("icons/", id, ".png"));
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QPixmap ResourceLibrary::Bitmap(int id) const {
    return QPixmap(ResourcePath("bitmaps/", id, ".png"));
}

QMenu* ResourceLibrary::LoadMenu(int id, QWidget* parent) const {
    bool found = false;
    const QByteArray text = ReadResource(ResourcePath("menus/", id, ".txt"), &found);
    return found ? BuildMenu(text, parent) : nullptr;
}

QWidget* ResourceLibrary::FindControl(QWidget* root, int id) {
    if (!root) {
        return nullptr;
    }
    const QString name = QStringLiteral("id%1").arg(id);
    if (root->objectName() == name) {
        return root;
    }
    return root->findChild<QWidget*>(name);
}

QHash<int, QString> ResourceLibrary::ParseStringTable(const QByteArray& utf8) {
    QHash<int, QString> texts;
    for (const QByteArray& line : Lines(utf8)) {
        int number = 0;
        QByteArray rest;
        if (!SplitNumbered(line, &number, &rest) || texts.contains(number)) {
            continue;
        }
        const QString text = Unescape(QString::fromUtf8(rest));
        if (!text.isEmpty()) {
            texts.insert(number, text);
        }
    }
    return texts;
}

QMenu* ResourceLibrary::BuildMenu(const QByteArray& utf8, QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (const QByteArray& line : Lines(utf8)) {
        if (line == "-") {
            menu->addSeparator();
            continue;
        }
        int command = 0;
        QByteArray rest;
        if (!SplitNumbered(line, &command, &rest)) {
            continue;
        }
        const QString text = Unescape(QString::fromUtf8(rest));
        if (!text.isEmpty()) {
            menu->addAction(text)->setData(command);
        }
    }
    return menu;
}

}  // namespace ovistra
