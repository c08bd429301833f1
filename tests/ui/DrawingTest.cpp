// Colour functions, the canvas's GDI rules, gradient, frame, resources, sounds, colour panel.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "UiTestSupport.h"
#include "ui/Canvas.h"
#include "ui/ClrPanel.h"
#include "ui/Colors.h"
#include "ui/Drawing.h"
#include "ui/Resources.h"
#include "ui/Sound.h"

namespace pavana {
namespace {

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureApplication(); }

    QImage image_{40, 120, QImage::Format_RGB32};
};

TEST_F(DrawingTest, ShadesClampEachChannelOnItsOwn) {
    EXPECT_EQ(LightenColor(RGB(240, 240, 240), 24), clWhite);
    EXPECT_EQ(DarkenColor(RGB(16, 16, 16), 24), clBlack);
    EXPECT_EQ(LightenColor(RGB(250, 100, 5), 10), RGB(255, 110, 15));
    EXPECT_EQ(DarkenColor(RGB(250, 100, 5), 10), RGB(240, 90, 0));
}

TEST_F(DrawingTest, SystemColoursResolveOnlyWhereSaid) {
    EXPECT_EQ(ColorToRGB(clBtnFace), test::kFixedButtonFace);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    EXPECT_EQ(LightenColor(clBtnFace, 10), RGB(202, 202, 202));
    // Grey level and lightness take the value as it is: button face is index 15 in the low byte.
    EXPECT_EQ(GreyOfColor(clBtnFace), RGB(3, 3, 3));
    EXPECT_FALSE(IsLightColor(clBtnFace));
    int r, g, b;
    SplitColor(clBtnFace, r, g, b);
    EXPECT_EQ(r, 15);
    EXPECT_EQ(g + b, 0);
}

TEST_F(DrawingTest, GreyLevelsRoundHalvesToEven) {
    EXPECT_FALSE(IsLightColor(clRed));  // grey 51
    EXPECT_TRUE(IsLightColor(clWhite));
    EXPECT_EQ(GreyOfColor(RGB(0, 5, 0)), RGB(2, 2, 2));  // 2.5
    EXPECT_EQ(GreyOfColor(RGB(0, 7, 0)), RGB(4, 4, 4));  // 3.5
    EXPECT_TRUE(IsLightColor(RGB(128, 128, 128)));
    EXPECT_FALSE(IsLightColor(RGB(127, 127, 127)));
    EXPECT_EQ(ClampChannel(2.5), 2);
    EXPECT_EQ(ClampChannel(3.5), 4);
    EXPECT_EQ(ClampChannel(-0.7), 0);
    EXPECT_EQ(ClampChannel(300.2), 255);
    EXPECT_EQ(MakeColor(1.5, 254.5, 256), RGB(2, 254, 255));
}

TEST_F(DrawingTest, GradientThroughThreeStopsRowByRow) {
    image_.fill(Qt::magenta);
    TCanvas canvas(image_);
    const TColor stops[] = {clWhite, RGB(128, 128, 128), clBlack};
    GradientFill(canvas, {0, 0, 10, 100}, stops, 2, 0, 1);
    for (int y = 0; y <= 100; ++y) {
        // The step after the last stop is zero, so the band past the end repeats row 99.
        const int row = std::min(y, 99);
        const double exact = row < 50 ? 255 - 2.54 * row : 255 - 2.54 * 49 - 2.56 * (row - 49);
        const int got = int(test::PixelAt(image_, 5, y) & 0xFF);
        EXPECT_LE(std::abs(got - std::max(exact, 0.0)), 0.5 + 1e-9) << "row " << y;
        EXPECT_EQ(test::PixelAt(image_, 5, y), RGB(got, got, got));
    }
    EXPECT_EQ(test::PixelAt(image_, 0, 0), clWhite);
    EXPECT_EQ(test::PixelAt(image_, 9, 50), RGB(128, 128, 128));
    EXPECT_EQ(test::PixelAt(image_, 5, 100), RGB(3, 3, 3));  // just past the rectangle
    EXPECT_EQ(test::PixelAt(image_, 5, 101), 0xFF00FFu);     // not reached
    EXPECT_EQ(test::PixelAt(image_, 10, 20), 0xFF00FFu);     // right edge exclusive
}

TEST_F(DrawingTest, GradientDrawsNothingWhenSegmentsAreShorterThanAPixel) {
    image_.fill(Qt::magenta);
    TCanvas canvas(image_);
    const TColor stops[] = {clWhite, clBlack, clWhite, clBlack};
    GradientFill(canvas, {0, 0, 10, 2}, stops, 3, 0, 2);
    GradientFill(canvas, {0, 0, 0, 50}, stops, 3, 0, 2);
    GradientFill(canvas, {0, 0, 10, 50}, stops, 3, 7, 2);
    EXPECT_EQ(test::PixelAt(image_, 0, 0), 0xFF00FFu);
    // Segments given as 0 become 3; with only two stops the last one is reused, and the running
    // colour is not reset when a stop is passed (25.5 after ten rows of -25.5).
    const TColor two[] = {clWhite, clBlack};
    GradientFill(canvas, {0, 0, 10, 30}, two, 0, 0, 1);
    EXPECT_EQ(test::PixelAt(image_, 0, 0), clWhite);
    EXPECT_EQ(test::PixelAt(image_, 0, 9), RGB(26, 26, 26));
    EXPECT_EQ(test::PixelAt(image_, 0, 30), RGB(26, 26, 26));
}

TEST_F(DrawingTest, CanvasFollowsGdiEndPointRules) {
    image_.fill(Qt::white);
    TCanvas canvas(image_);
    canvas.Pen.Color = clRed;
    canvas.Brush.Color = clBlue;
    canvas.Rectangle({2, 2, 6, 5});
    EXPECT_EQ(canvas.Pixel(2, 2), clRed);
    EXPECT_EQ(canvas.Pixel(5, 4), clRed);
    EXPECT_EQ(canvas.Pixel(6, 4), clWhite);
    EXPECT_EQ(canvas.Pixel(5, 5), clWhite);
    EXPECT_EQ(canvas.Pixel(3, 3), clBlue);

    canvas.MoveTo(10, 10);
    canvas.LineTo(15, 10);
    EXPECT_EQ(canvas.Pixel(14, 10), clRed);
    EXPECT_EQ(canvas.Pixel(15, 10), clWhite);
    canvas.Polyline({{20, 20}, {23, 23}, {26, 20}});
    EXPECT_EQ(canvas.Pixel(22, 22), clRed);
    EXPECT_EQ(canvas.Pixel(23, 23), clRed);
    EXPECT_EQ(canvas.Pixel(26, 20), clWhite);

    canvas.Brush.Color = clGreen;
    canvas.FillRect({0, 30, 3, 32});
    EXPECT_EQ(canvas.Pixel(2, 31), clGreen);
    EXPECT_EQ(canvas.Pixel(3, 31), clWhite);
    EXPECT_EQ(canvas.Pixel(2, 32), clWhite);
}

// Shapes keep to two colours, text is smoothed: letters sit at the layout's fractional
// positions, so equal advances leave equal gaps ("l l l ..." at 5.5 pixels a step at 11 px),
// where one-bit glyphs at rounded positions would step 5, 6, 5, 6.
TEST_F(DrawingTest, CanvasTextKeepsTheLayoutsEvenSpacing) {
    QImage image(120, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    TCanvas canvas(image);
    canvas.Pen.Color = clBlack;
    canvas.Brush.Color = clBlack;
    canvas.Ellipse({2, 2, 12, 12});
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) EXPECT_TRUE(canvas.Pixel(x, y) == clBlack || canvas.Pixel(x, y) == clWhite);

    canvas.Font.Font = QFont(QStringLiteral("Arial"));
    canvas.Font.Font.setPixelSize(11);
    canvas.Font.Color = clBlack;
    canvas.Brush.Style = bsClear;
    const std::string text = "l l l l l l l l";
    TRect r{14, 2, 14 + canvas.TextWidth(text), 2 + canvas.TextHeight(text)};
    canvas.DrawText(text, r, DT_SINGLELINE | DT_NOPREFIX);
    std::vector<double> centres;
    double ink = 0, moment = 0;
    for (int x = 14; x <= r.Right + 1; ++x) {
        double column = 0;
        for (int y = r.Top; y < r.Bottom; ++y) column += 255 - (canvas.Pixel(x, y) & 0xFF);
        if (column > 0) {
            ink += column;
            moment += column * x;
        } else if (ink > 0) {
            centres.push_back(moment / ink);
            ink = moment = 0;
        }
    }
    ASSERT_EQ(centres.size(), 8u);
    for (std::size_t i = 1; i < centres.size(); ++i)
        EXPECT_NEAR(centres[i] - centres[i - 1], 5.5, 0.25) << "between letters " << i << " and " << i + 1;
}

TEST_F(DrawingTest, FocusRectangleInvertsAlternatePixelsAndUndoesItself) {
    image_.fill(QColor(0xC0, 0xC0, 0xC0));
    TCanvas canvas(image_);
    canvas.DrawFocusRect({0, 0, 10, 10});
    EXPECT_EQ(canvas.Pixel(0, 0), RGB(0x3F, 0x3F, 0x3F));
    EXPECT_EQ(canvas.Pixel(1, 0), RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(canvas.Pixel(9, 9), RGB(0x3F, 0x3F, 0x3F));
    EXPECT_EQ(canvas.Pixel(5, 5), RGB(0xC0, 0xC0, 0xC0));
    canvas.DrawFocusRect({0, 0, 10, 10});
    EXPECT_EQ(canvas.Pixel(0, 0), RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(canvas.Pixel(9, 9), RGB(0xC0, 0xC0, 0xC0));
}

TEST_F(DrawingTest, MaskBlitPutsTheBrushWhereTheMaskIsWhite) {
    image_.fill(QColor(10, 20, 30));
    TCanvas canvas(image_);
    TMask mask(2, 1);
    mask.SetBit(0, 0, true);
    canvas.Brush.Color = RGB(200, 100, 50);
    canvas.BitBlt(3, 3, mask, ROP_DSPDxax);
    EXPECT_EQ(canvas.Pixel(3, 3), RGB(200, 100, 50));
    EXPECT_EQ(canvas.Pixel(4, 3), RGB(10, 20, 30));
}

TEST_F(DrawingTest, TransparentBitmapKeepsTheBackgroundUnderItsKeyColour) {
    image_.fill(Qt::white);
    QImage bitmap(2, 2, QImage::Format_RGB32);
    bitmap.fill(QColor(128, 128, 0));
    bitmap.setPixel(1, 1, qRgb(255, 0, 0));
    TCanvas canvas(image_);
    DrawTransparentBitmap(canvas, bitmap, 4, 4, clOlive);
    EXPECT_EQ(canvas.Pixel(4, 4), clWhite);
    EXPECT_EQ(canvas.Pixel(5, 5), clRed);
}

TEST_F(DrawingTest, FrameDrawsRingsAndShrinksTheRectangle) {
    image_.fill(Qt::white);
    TCanvas canvas(image_);
    TRect r{0, 0, 10, 10};
    Frame3D(canvas, r, clRed, clBlue, 2);
    EXPECT_EQ(r, (TRect{2, 2, 8, 8}));
    EXPECT_EQ(canvas.Pixel(0, 0), clRed);
    EXPECT_EQ(canvas.Pixel(8, 0), clRed);
    EXPECT_EQ(canvas.Pixel(9, 0), clBlue);  // top right belongs to the bottom colour
    EXPECT_EQ(canvas.Pixel(0, 9), clBlue);  // bottom left too
    EXPECT_EQ(canvas.Pixel(1, 1), clRed);
    EXPECT_EQ(canvas.Pixel(8, 8), clBlue);
    EXPECT_EQ(canvas.Pixel(2, 2), clWhite);
}

TEST_F(DrawingTest, ResourcesAreFoundWhateverTheCase) {
    struct Expected {
        const char* name;
        int width, height;
    };
    for (const Expected& e : {Expected{"YES", 20, 18},
                              {"no", 20, 18},
                              {"Ok", 16, 16},
                              {"CANCEL", 16, 16},
                              {"retry", 17, 15},
                              {"ABORT", 17, 15},
                              {"Ignore", 17, 15},
                              {"ALL", 16, 16},
                              {"NoToAll", 16, 17},
                              {"YesToAll", 16, 17},
                              {"Help", 16, 16},
                              {"Detalhes", 17, 19},
                              {"Detalhes2", 17, 17},
                              {"ClrBtnPattern", 8, 8}}) {
        const QImage image = LoadBitmapResource(e.name);
        EXPECT_EQ(image.size(), QSize(e.width, e.height)) << e.name;
    }
    EXPECT_EQ(LoadBitmapResource("YES").pixel(0, 17), qRgb(128, 128, 0));
    for (const char* icon : {"xWarning", "xError", "xInformation", "xConfirmation", "xMensagem", "xErrorWindows"})
        EXPECT_EQ(LoadIconImage(icon, 32).size(), QSize(32, 32)) << icon;
    EXPECT_EQ(LoadIconImage("xmensagem", 16).size(), QSize(16, 16));
    EXPECT_EQ(LoadIconResource("XMENSAGEM").availableSizes().size(), 2);
    EXPECT_TRUE(LoadIconResource("xCustom").isNull());
    EXPECT_TRUE(LoadBitmapResource("NOSUCH").isNull());
    EXPECT_TRUE(LoadBitmapResource("").isNull());
}

TEST_F(DrawingTest, SoundsPlayFromFilesOrResources) {
    EXPECT_FALSE(PlaySoundByName(""));
    EXPECT_FALSE(PlaySoundByName("no such sound"));
    EXPECT_TRUE(PlaySoundByName("clique"));  // a raw data resource of the test program
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("beep.wav"));
    QFile::copy(QStringLiteral(":/rcdata/CLIQUE"), path);
    EXPECT_TRUE(PlaySoundByName(path.toStdString()));
}

TEST_F(DrawingTest, ColourPanelPaintsFlatWithCaptionInTheMiddleBand) {
    TColorPanel panel;
    panel.resize(100, 41);
    panel.SetColor(RGB(0, 0, 128));
    panel.SetFontColor(clWhite);
    panel.SetCaption("Total");
    panel.SetBorderWidth(3);
    const QImage plain = test::Render(panel);
    EXPECT_EQ(panel.TextRect(), (TRect{3, 3, 97, 38}));
    EXPECT_EQ(test::PixelAt(plain, 0, 0), RGB(0, 0, 128));
    EXPECT_EQ(test::PixelAt(plain, 99, 40), RGB(0, 0, 128));

    int minX = 100, maxX = -1, minY = 100, maxY = -1;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (test::PixelAt(plain, x, y) != RGB(0, 0, 128)) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    ASSERT_GE(maxX, 0);
    EXPECT_LE(std::abs((minX + maxX) - 99), 3);  // centred left to right
    const int h = TextExtentOf(panel.font(), "W").cy;
    const int bandTop = (3 + 38 - h) / 2;
    EXPECT_GE(minY, bandTop);
    EXPECT_LT(maxY, bandTop + h);

    panel.SetBevelInner(bvLowered);
    panel.SetBevelOuter(bvRaised);
    panel.SetBevelWidth(4);
    EXPECT_EQ(test::Render(panel), plain);
}

TEST_F(DrawingTest, ColourPanelTakesItsColourFromAParentPanel) {
    TColorPanel outer;
    outer.SetColor(RGB(1, 2, 3));
    TColorPanel inner(&outer);
    EXPECT_EQ(inner.Color(), RGB(1, 2, 3));
    EXPECT_EQ(outer.Color(), RGB(1, 2, 3));
    TColorPanel window;
    EXPECT_EQ(window.Color(), clBtnFace);
    EXPECT_TRUE(inner.Caption().empty());
}

}  // namespace
}  // namespace pavana
