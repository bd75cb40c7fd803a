// The program's pictures: each one loads at its size, is not blank, differs from its neighbours
// and shows its subject's colours; a magnified contact sheet lands in the build folder so a person
// can look at them.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qt/images.h"

namespace zelto {
namespace {

// Pictures in each image list, as the windows use them: indexes 0 to 11.
constexpr int kPicturesPerList = 12;

using Loader = std::function<QPixmap(int)>;

struct ListUnderTest {
    const char* name;
    int size;
    Loader load;
};

std::vector<ListUnderTest> Lists() {
    return {{"ImageList16", 16, ListImage16}, {"ImageList32", 32, ListImage32}};
}

// How many pixels of a picture fall into each colour family; only clearly visible pixels count.
struct ColourCounts {
    int opaque = 0;
    int translucent = 0;  // partly covered edge pixels
    int saturated = 0;
    int green = 0;
    int red = 0;
    int amber = 0;
    int yellow = 0;
    int blue = 0;
    QRect opaqueBounds;
};

ColourCounts CountColours(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    ColourCounts counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 255) {
                ++counts.opaque;
                counts.opaqueBounds |= QRect(x, y, 1, 1);
            } else if (c.alpha() > 0) {
                ++counts.translucent;
            }
            if (c.alpha() < 128) {
                continue;
            }
            const int r = c.red();
            const int g = c.green();
            const int b = c.blue();
            if (std::max({r, g, b}) - std::min({r, g, b}) > 60) {
                ++counts.saturated;
            }
            if (g > 120 && g > r + 50 && g > b + 30) {
                ++counts.green;
            }
            if (r > 170 && g < 90 && b < 90) {
                ++counts.red;
            }
            if (r > 200 && g >= 130 && g <= 185 && b < 80) {
                ++counts.amber;
            }
            if (r > 200 && g > 190 && b < 120) {
                ++counts.yellow;
            }
            if (b > 150 && b > r + 60) {
                ++counts.blue;
            }
        }
    }
    return counts;
}

// --- Loading -------------------------------------------------------------------------------

TEST(ImagesResources, AreLinkedIntoTheExecutable) {
    InitResources();
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/list16/00.svg")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/list32/11.svg")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/icons/app48.svg")));
}

TEST(ImagesLists, EveryPictureLoadsAtItsSizeAndIsNotBlank) {
    for (const auto& list : Lists()) {
        for (int index = 0; index < kPicturesPerList; ++index) {
            SCOPED_TRACE(std::string(list.name) + " index " + std::to_string(index));
            const QPixmap pixmap = list.load(index);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_EQ(pixmap.size(), QSize(list.size, list.size));
            EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), 1.0);
            const ColourCounts counts = CountColours(pixmap);
            EXPECT_GE(counts.opaque, list.size * list.size / 10);
            // A drawing that lost its view box would sit in a corner or spill off the edge.
            EXPECT_GE(counts.opaqueBounds.width(), list.size / 2);
            EXPECT_GE(counts.opaqueBounds.height(), list.size / 2);
        }
    }
}

TEST(ImagesLists, IndexOutsideTheListGivesNullPixmap) {
    for (const auto& list : Lists()) {
        SCOPED_TRACE(list.name);
        EXPECT_TRUE(list.load(-1).isNull());
        EXPECT_TRUE(list.load(kPicturesPerList).isNull());
        EXPECT_FALSE(list.load(kPicturesPerList - 1).isNull());
    }
}

TEST(ImagesLists, NoTwoSubjectsLookAlike) {
    for (const auto& list : Lists()) {
        std::vector<QImage> images;
        for (int index = 0; index < kPicturesPerList; ++index) {
            images.push_back(list.load(index).toImage());
        }
        for (int a = 0; a < kPicturesPerList; ++a) {
            for (int b = a + 1; b < kPicturesPerList; ++b) {
                EXPECT_NE(images[a], images[b]) << list.name << " indexes " << a << " and " << b;
            }
        }
    }
}

TEST(ImagesLists, RepeatedRequestsReuseTheRendering) {
    // The tray picture is requested every second; the same pixmap data must come back.
    for (const auto& list : Lists()) {
        SCOPED_TRACE(list.name);
        const QPixmap first = list.load(8);
        const QPixmap second = list.load(8);
        EXPECT_EQ(first.cacheKey(), second.cacheKey());
        EXPECT_NE(first.cacheKey(), list.load(0).cacheKey());
    }
}

// --- Subjects ------------------------------------------------------------------------------

enum Family : unsigned {
    kGreen = 1,
    kRed = 2,
    kAmber = 4,
    kYellow = 8,
    kBlue = 16,
    kAnyColour = 32,
};

struct SubjectRow {
    int index;
    int size;  // 0: both lists
    unsigned shows;
    unsigned lacks;
    const char* subject;
};

int FamilyCount(const ColourCounts& c, Family family) {
    switch (family) {
        case kGreen:
            return c.green;
        case kRed:
            return c.red;
        case kAmber:
            return c.amber;
        case kYellow:
            return c.yellow;
        case kBlue:
            return c.blue;
        case kAnyColour:
            return c.saturated;
    }
    return 0;
}

const SubjectRow kSubjects[] = {
    {0, 0, kGreen, kRed | kAmber, "battery, full"},
    {1, 0, kGreen, kRed | kAmber, "battery, half full"},
    {2, 0, kAmber, kGreen | kRed, "battery, nearly empty"},
    {3, 0, kRed, kGreen | kAmber, "battery, crossed out in red"},
    {4, 0, kBlue, kGreen | kRed | kAmber, "battery with a question mark"},
    {5, 0, 0, kAnyColour, "grey battery"},
    {6, 0, 0, kAnyColour, "mains plug on its cord"},
    {7, 0, kYellow, kGreen | kRed | kBlue, "lightning flash"},
    {8, 0, kGreen, kRed | kAmber, "battery with mains plug"},
    {9, 0, kRed, kGreen | kAmber, "battery, low level"},
    {10, 16, 0, kAnyColour, "black cross"},
    {10, 32, kRed, kGreen, "loudspeaker with a no-entry sign"},
    {11, 16, kGreen, kRed | kBlue, "green arrow"},
    {11, 32, kBlue, kGreen | kRed, "loudspeaker with sound waves"},
};

TEST(ImagesLists, EachSubjectShowsItsColours) {
    for (const auto& list : Lists()) {
        for (const SubjectRow& row : kSubjects) {
            if (row.size != 0 && row.size != list.size) {
                continue;
            }
            SCOPED_TRACE(std::string(list.name) + " index " + std::to_string(row.index) + ": " +
                         row.subject);
            const ColourCounts counts = CountColours(list.load(row.index));
            for (const Family family : {kGreen, kRed, kAmber, kYellow, kBlue, kAnyColour}) {
                if (row.shows & family) {
                    EXPECT_GE(FamilyCount(counts, family), 4) << "colour family " << family;
                }
                if (row.lacks & family) {
                    EXPECT_EQ(FamilyCount(counts, family), 0) << "colour family " << family;
                }
            }
        }
    }
}

TEST(ImagesLists, ChargePicturesFillLessAsTheLevelDrops) {
    // Full, half full, nearly empty, low level: the coloured charge shrinks in that order.
    for (const auto& list : Lists()) {
        SCOPED_TRACE(list.name);
        std::vector<int> charge;
        for (const int index : {0, 1, 2, 9}) {
            charge.push_back(CountColours(list.load(index)).saturated);
        }
        EXPECT_GT(charge[0], charge[1]);
        EXPECT_GT(charge[1], charge[2]);
        EXPECT_GT(charge[2], charge[3]);
        EXPECT_GT(charge[3], 0);
    }
}

TEST(ImagesLists, BeeperPicturesDifferInKindBetweenTheLists) {
    // The small list holds menu symbols (a cross, an arrow), the large one loudspeakers.
    for (const int index : {10, 11}) {
        SCOPED_TRACE("index " + std::to_string(index));
        const QImage small = ListImage16(index).toImage();
        const QImage large = ListImage32(index).toImage();
        const QImage shrunk = large.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(small.format());
        EXPECT_NE(small, shrunk);
    }
    EXPECT_EQ(CountColours(ListImage16(10)).saturated, 0);
    EXPECT_GT(CountColours(ListImage32(10)).red, 20);
    EXPECT_GT(CountColours(ListImage16(11)).green, 20);
    EXPECT_EQ(CountColours(ListImage32(11)).green, 0);
}

TEST(ImagesLists, SmallBatteriesSitOnThePixelGrid) {
    // Drawn edge on pixel boundaries, these stay sharp in the tray: no half-covered pixels.
    for (const int index : {0, 1, 2, 4, 5, 9}) {
        SCOPED_TRACE("index " + std::to_string(index));
        EXPECT_EQ(CountColours(ListImage16(index)).translucent, 0);
    }
}

// --- Fixed pictures and the application icon -----------------------------------------------

TEST(ImagesFixed, MainWindowPicturesLoadAndDiffer) {
    const std::vector<std::pair<const char*, QPixmap>> pictures = {
        {"plug", PlugPicture()}, {"UPS", UpsPicture()}, {"computer", ComputerPicture()}};
    for (const auto& [name, pixmap] : pictures) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), QSize(32, 32));
        EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), 1.0);
        EXPECT_GE(CountColours(pixmap).opaque, 32 * 32 / 10);
    }
    EXPECT_NE(pictures[0].second.toImage(), pictures[1].second.toImage());
    EXPECT_NE(pictures[0].second.toImage(), pictures[2].second.toImage());
    EXPECT_NE(pictures[1].second.toImage(), pictures[2].second.toImage());
    // The UPS shows its green lamp, the computer its blue screen; the plug is black and metal.
    EXPECT_GT(CountColours(UpsPicture()).green, 0);
    EXPECT_GT(CountColours(ComputerPicture()).blue, 50);
    EXPECT_EQ(CountColours(PlugPicture()).saturated, 0);
}

// At a scale of 2 each picture has twice the pixels, from its drawing, not stretched.
TEST(ImagesFixed, AtScaleTwoTheDrawingHasTwiceThePixels) {
    const QString path = QStringLiteral(":/list32/00.svg");
    const QPixmap single = RenderedPicture(path, 32, 1.0);
    const QPixmap twice = RenderedPicture(path, 32, 2.0);
    ASSERT_FALSE(twice.isNull());
    EXPECT_EQ(twice.size(), QSize(64, 64));
    EXPECT_EQ(twice.deviceIndependentSize(), QSizeF(32, 32));
    EXPECT_NE(twice.toImage(), single.scaled(64, 64).toImage()) << "stretched, not drawn";
    // The tests' platform draws at 1: the lists are the same drawing there.
    EXPECT_EQ(ListImage32(0).toImage(), single.toImage());
}

TEST(ImagesAppIcon, HasAllThreeSizes) {
    const QIcon icon = AppIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(sizes.contains(QSize(size, size)));
        const QPixmap pixmap = AppIconPixmap(size);
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.size(), QSize(size, size));
        EXPECT_EQ(icon.pixmap(size).toImage(), pixmap.toImage());
        // A green-charged battery beside a black plug.
        const ColourCounts counts = CountColours(pixmap);
        EXPECT_GE(counts.green, size * size / 20);
        EXPECT_GE(counts.opaque, size * size / 4);
    }
}

TEST(ImagesAppIcon, OtherSizesScaleTheNearestDrawing) {
    EXPECT_TRUE(AppIconPixmap(0).isNull());
    const QPixmap pixmap = AppIconPixmap(24);
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(24, 24));
    EXPECT_EQ(AppIconPixmap(64).size(), QSize(64, 64));
}

// --- Contact sheet -------------------------------------------------------------------------

constexpr int kZoom = 4;
constexpr int kGap = 10;

const QColor kLightPanel(0xe8, 0xe8, 0xe8);
const QColor kDarkPanel(0x30, 0x30, 0x30);

// Draws a picture magnified pixel for pixel over a panel, with its caption beneath.
int DrawCell(QPainter& painter, int x, int y, const QPixmap& pixmap, const QString& caption,
             const QColor& panel = kLightPanel) {
    const int side = pixmap.width() * kZoom;
    painter.fillRect(x, y, side, side, panel);
    painter.drawImage(QRect(x, y, side, side), pixmap.toImage());
    painter.setPen(Qt::black);
    painter.drawText(QRect(x, y + side + 2, side, 14), Qt::AlignHCenter, caption);
    return side;
}

TEST(ImagesContactSheet, WritesMagnifiedPictures) {
    const QString dir = QStringLiteral(ZELTO_BUILD_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    const int cell16 = 16 * kZoom + kGap;
    const int cell32 = 32 * kZoom + kGap;
    const int width = kGap + std::max(2 * kPicturesPerList * cell16, kPicturesPerList * cell32);
    QImage sheet(width, 760, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        painter.setFont(font);

        int y = kGap;
        painter.drawText(kGap, y + 10, QStringLiteral("ImageList16 (x4, light and dark panel)"));
        y += 16;
        for (int i = 0; i < kPicturesPerList; ++i) {
            DrawCell(painter, kGap + i * cell16, y, ListImage16(i), QString::number(i));
            // The same row as a dark tray or menu shows it.
            DrawCell(painter, kGap + (kPicturesPerList + i) * cell16, y, ListImage16(i),
                     QString::number(i), kDarkPanel);
        }
        y += 16 * kZoom + 20;
        painter.drawText(kGap, y + 10, QStringLiteral("ImageList32 (x4)"));
        y += 16;
        for (int i = 0; i < kPicturesPerList; ++i) {
            DrawCell(painter, kGap + i * cell32, y, ListImage32(i), QString::number(i));
        }
        y += 32 * kZoom + 20;
        painter.drawText(kGap, y + 10,
                         QStringLiteral("Main window pictures and application icon (x4)"));
        y += 16;
        int x = kGap;
        x += DrawCell(painter, x, y, PlugPicture(), QStringLiteral("plug")) + kGap;
        x += DrawCell(painter, x, y, UpsPicture(), QStringLiteral("UPS")) + kGap;
        x += DrawCell(painter, x, y, ComputerPicture(), QStringLiteral("computer")) + kGap;
        for (const int size : {16, 32, 48}) {
            x += DrawCell(painter, x, y, AppIconPixmap(size), QStringLiteral("app %1").arg(size)) +
                 kGap;
        }
        y += 48 * kZoom + 20;
        // Actual size over a light and a dark panel, as they appear in menus and trays.
        painter.drawText(kGap, y + 10, QStringLiteral("Actual size"));
        y += 16;
        const QColor backgrounds[] = {kLightPanel, kDarkPanel};
        for (const QColor& background : backgrounds) {
            painter.fillRect(kGap, y, sheet.width() - 2 * kGap, 40, background);
            x = 2 * kGap;
            for (int i = 0; i < kPicturesPerList; ++i, x += 24) {
                painter.drawPixmap(x, y + 12, ListImage16(i));
            }
            x += 16;
            for (int i = 0; i < kPicturesPerList; ++i, x += 40) {
                painter.drawPixmap(x, y + 4, ListImage32(i));
            }
            for (const QPixmap& pixmap : {PlugPicture(), UpsPicture(), ComputerPicture()}) {
                painter.drawPixmap(x, y + 4, pixmap);
                x += 40;
            }
            y += 44;
        }
    }
    const QString path = dir + QStringLiteral("/pictures.png");
    ASSERT_TRUE(sheet.save(path));
    EXPECT_TRUE(QFile::exists(path));
}

}  // namespace
}  // namespace zelto
