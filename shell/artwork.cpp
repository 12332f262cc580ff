#include "shell/artwork.h"

#include <QPixmapCache>
#include <QString>

#include <initializer_list>
#include <utility>

// The pictures live in a static library, whose resources are not registered
// on their own; Q_INIT_RESOURCE must be used outside any namespace.
static void registerQuilloryResources()
{
    Q_INIT_RESOURCE(quillory);
}

namespace {

void ensureResources()
{
    static const bool registered = (registerQuilloryResources(), true);
    (void)registered;
}

// A picture drawn at several sizes, for a logical size on a device of the
// given ratio: the drawing that has the device pixels wanted, or the nearest
// larger one scaled down. What was read is kept for the next time (the
// splash and the background ask at every paint).
QPixmap drawnPicture(std::initializer_list<std::pair<const char *, QSize>> drawings, QSize size, qreal devicePixelRatio)
{
    const QString key = QStringLiteral("quillory:%1:%2:%3").arg(QLatin1String(drawings.begin()->first)).arg(size.width()).arg(devicePixelRatio);
    QPixmap picture;
    if (QPixmapCache::find(key, &picture))
        return picture;
    ensureResources();
    QIcon icon;
    for (const auto &[file, pixels] : drawings)
        icon.addFile(QStringLiteral(":/") + QLatin1String(file), pixels);
    picture = icon.pixmap(size, devicePixelRatio);
    QPixmapCache::insert(key, picture);
    return picture;
}

struct ToolbarEntry
{
    const char *file;  // under :/toolbar/
    const char *theme; // freedesktop icon name, or null where ours is always used
};

ToolbarEntry toolbarEntry(ToolbarImage image)
{
    switch (image) {
    case ToolbarImage::New: return {"new", "document-new"};
    case ToolbarImage::Open: return {"open", "document-open"};
    case ToolbarImage::Save: return {"save", "document-save"};
    case ToolbarImage::Print: return {"print", "document-print"};
    case ToolbarImage::Cut: return {"cut", "edit-cut"};
    case ToolbarImage::Copy: return {"copy", "edit-copy"};
    case ToolbarImage::Paste: return {"paste", "edit-paste"};
    case ToolbarImage::Delete: return {"delete", "edit-delete"};
    case ToolbarImage::Undo: return {"undo", "edit-undo"};
    case ToolbarImage::Redo: return {"redo", "edit-redo"};
    case ToolbarImage::Bold: return {"bold", "format-text-bold"};
    case ToolbarImage::Italic: return {"italic", "format-text-italic"};
    case ToolbarImage::Underline: return {"underline", "format-text-underline"};
    case ToolbarImage::TextColor: return {"textcolor", nullptr};
    case ToolbarImage::BackColor: return {"backcolor", nullptr};
    case ToolbarImage::DateTime: return {"datetime", nullptr};
    case ToolbarImage::Find: return {"find", "edit-find"};
    }
    return {"new", nullptr};
}

} // namespace

QPixmap splashPicture(qreal devicePixelRatio)
{
    return drawnPicture({{"splash.png", {446, 268}}, {"splash@2x.png", {892, 536}}}, {446, 268}, devicePixelRatio);
}

QPixmap backgroundPicture(qreal devicePixelRatio)
{
    return drawnPicture({{"background.png", {446, 268}}, {"background@2x.png", {892, 536}}}, {446, 268},
                        devicePixelRatio);
}

QPixmap logoPicture(int size, qreal devicePixelRatio)
{
    return drawnPicture({{"logo-48.png", {48, 48}}, {"logo-96.png", {96, 96}}, {"logo-192.png", {192, 192}}},
                        {size, size}, devicePixelRatio);
}

QIcon applicationIcon()
{
    ensureResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/quillory-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon toolbarIcon(ToolbarImage image)
{
    ensureResources();
    const ToolbarEntry entry = toolbarEntry(image);
    if (entry.theme && QIcon::hasThemeIcon(QLatin1String(entry.theme)))
        return QIcon::fromTheme(QLatin1String(entry.theme));
    // Both sizes are named, so large toolbars and high-resolution screens
    // get the finer picture whatever the device pixel ratio at start-up.
    const QString base = QStringLiteral(":/toolbar/") + QLatin1String(entry.file);
    QIcon icon;
    icon.addFile(base + QStringLiteral(".png"), QSize(16, 16));
    icon.addFile(base + QStringLiteral("@2x.png"), QSize(32, 32));
    return icon;
}
