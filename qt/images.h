#pragma once
// Every picture the program shows, drawn as SVG in resources/ and rendered once per size.
//
// Both image lists hold the same twelve subjects at the same index (batteries by charge level,
// the mains plug, the beeper pictures); the 16 px list feeds the tray and the tray menu, the
// 32 px list the main window.

#include <QIcon>
#include <QPixmap>

namespace zelto {

// Number of pictures in each image list.
inline constexpr int kImageListSize = 12;

// Registers the compiled-in resources. The loaders below call it themselves; calling it again is
// harmless.
void InitResources();

// The ratio of the screen's pixels to the window's: at a scale of 2 a 32 px picture is drawn with
// 64 pixels of its own drawing, never 32 pixels stretched. 1 without an application.
qreal PictureRatio();
// The SVG at `path` drawn `size` px wide and high for the given ratio (the pictures below use
// the screen's).
QPixmap RenderedPicture(const QString& path, int size, qreal ratio);

// Pictures of ImageList16 / ImageList32; an index outside 0..11 gives a null pixmap.
QPixmap ListImage16(int index);
QPixmap ListImage32(int index);

// The three fixed 32 x 32 pictures of the main window.
QPixmap PlugPicture();
QPixmap UpsPicture();
QPixmap ComputerPicture();

// The application icon with its 16, 32 and 48 px drawings.
QIcon AppIcon();
// The application icon at one size; 16, 32 and 48 use their own drawing, other sizes the
// nearest larger drawing (or the 48 px one) scaled.
QPixmap AppIconPixmap(int size);

}  // namespace zelto
