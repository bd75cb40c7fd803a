#include "qt/images.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QString>
#include <QSvgRenderer>

// The resources live in a static library, so nothing pulls their registration object into the
// executable unless we name it; the macro has to expand outside any namespace.
static void RegisterZeltoResources() {
    Q_INIT_RESOURCE(zelto);
}

namespace zelto {

namespace {

QPixmap RenderedSvg(const QString& path, int size) {
    return RenderedPicture(path, size, PictureRatio());
}

QPixmap ListImage(const char* list, int index, int size) {
    if (index < 0 || index >= kImageListSize) {
        return {};
    }
    const QString path =
        QStringLiteral(":/%1/%2.svg").arg(QLatin1String(list)).arg(index, 2, 10, QLatin1Char('0'));
    return RenderedSvg(path, size);
}

// The drawing designed for the smallest size not below the requested one.
QString AppIconPath(int size) {
    if (size <= 16) {
        return QStringLiteral(":/icons/app16.svg");
    }
    if (size <= 32) {
        return QStringLiteral(":/icons/app32.svg");
    }
    return QStringLiteral(":/icons/app48.svg");
}

}  // namespace

qreal PictureRatio() {
    return qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
}

// The tray picture is set every second: each drawing is parsed and rendered once, then served
// from Qt's pixmap cache, whose key also carries the size and the ratio.
QPixmap RenderedPicture(const QString& path, int size, qreal ratio) {
    const QString key = QStringLiteral("zelto:%1@%2x%3").arg(path).arg(size).arg(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) {
        return pixmap;
    }
    InitResources();
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return {};
    }
    const int pixels = qRound(size * ratio);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    }
    pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

void InitResources() {
    static const bool registered = (RegisterZeltoResources(), true);
    (void)registered;
}

QPixmap ListImage16(int index) {
    return ListImage("list16", index, 16);
}

QPixmap ListImage32(int index) {
    return ListImage("list32", index, 32);
}

QPixmap PlugPicture() {
    return RenderedSvg(QStringLiteral(":/pictures/plug.svg"), 32);
}

QPixmap UpsPicture() {
    return RenderedSvg(QStringLiteral(":/pictures/ups.svg"), 32);
}

QPixmap ComputerPicture() {
    return RenderedSvg(QStringLiteral(":/pictures/computer.svg"), 32);
}

QPixmap AppIconPixmap(int size) {
    if (size <= 0) {
        return {};
    }
    return RenderedSvg(AppIconPath(size), size);
}

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addPixmap(AppIconPixmap(size));
    }
    return icon;
}

}  // namespace zelto
