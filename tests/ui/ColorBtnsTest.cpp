// TColor95Button: faces by style and state, glyphs and their cache, groups, auto-repeat.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEnterEvent>
#include <QTest>
#include <memory>

#include "UiTestSupport.h"
#include "ui/ColorBtns.h"
#include "ui/Resources.h"

namespace pavana {
namespace {

constexpr TColor kFace = RGB(128, 128, 128);
constexpr TColor kUnpainted = 0xFF00FF;

TColor L(int n) { return LightenColor(kFace, n); }
TColor D(int n) { return DarkenColor(kFace, n); }

class ColorBtnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        window_ = std::make_unique<QWidget>();
        window_->resize(200, 100);
    }

    TColor95Button& Button(TClr95ButtonStyle style, int size = 25) {
        auto* b = new TColor95Button(window_.get());
        b->resize(size, size);
        b->SetColor(kFace);
        b->SetStyle(style);
        return *b;
    }

    static void Hover(TColor95Button& b) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(&b, &enter);
    }

    static QImage Pressed(TColor95Button& b) {
        QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(b.width() / 2, b.height() / 2));
        QImage image = test::Render(b, kUnpainted);
        QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(b.width() / 2, b.height() / 2));
        return image;
    }

    static QImage Solid(int w, int h, QRgb c) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(c);
        return image;
    }

    std::unique_ptr<QWidget> window_;
};

TEST_F(ColorBtnsTest, NewStyleBevelRingsUpAndPressed) {
    TColor95Button& b = Button(bsNew);
    QImage up = test::Render(b, kUnpainted);
    EXPECT_EQ(test::PixelAt(up, 0, 0), L(12));
    EXPECT_EQ(test::PixelAt(up, 24, 24), D(100));
    EXPECT_EQ(test::PixelAt(up, 1, 1), L(60));
    EXPECT_EQ(test::PixelAt(up, 23, 23), D(48));
    EXPECT_EQ(test::PixelAt(up, 12, 12), kFace);
    QImage down = Pressed(b);
    EXPECT_EQ(test::PixelAt(down, 0, 0), D(96));
    EXPECT_EQ(test::PixelAt(down, 1, 1), D(48));
    EXPECT_EQ(test::PixelAt(down, 24, 24), L(64));
    EXPECT_EQ(test::PixelAt(down, 23, 23), L(48));
}

TEST_F(ColorBtnsTest, Win31CornersAndFrame) {
    TColor95Button& b = Button(bsWin31);
    QImage up = test::Render(b, kUnpainted);
    for (auto [x, y] : {std::pair{0, 0}, {24, 0}, {0, 24}, {24, 24}}) EXPECT_EQ(test::PixelAt(up, x, y), kFace);
    EXPECT_EQ(test::PixelAt(up, 5, 0), D(126));
    EXPECT_EQ(test::PixelAt(up, 1, 5), L(48));
    EXPECT_EQ(test::PixelAt(up, 2, 5), L(48));
    EXPECT_EQ(test::PixelAt(up, 23, 5), D(48));
    QImage down = Pressed(b);
    EXPECT_EQ(test::PixelAt(down, 0, 5), D(48));
    EXPECT_EQ(test::PixelAt(down, 5, 0), D(48));
    EXPECT_EQ(test::PixelAt(down, 1, 5), kFace);
}

TEST_F(ColorBtnsTest, EllipsePaintsNothingOutsideAndSplitsItsArcs) {
    TColor95Button& b = Button(bsEllipse, 30);
    QImage up = test::Render(b, kUnpainted);
    EXPECT_EQ(test::PixelAt(up, 0, 0), kUnpainted);
    EXPECT_EQ(test::PixelAt(up, 29, 29), kUnpainted);
    EXPECT_EQ(test::PixelAt(up, 15, 15), kFace);
    auto columnHas = [](const QImage& img, int x, int y0, int y1, TColor c) {
        for (int y = y0; y <= y1; ++y)
            if (test::PixelAt(img, x, y) == c) return true;
        return false;
    };
    auto rowHas = [](const QImage& img, int y, int x0, int x1, TColor c) {
        for (int x = x0; x <= x1; ++x)
            if (test::PixelAt(img, x, y) == c) return true;
        return false;
    };
    // Top and left belong to the upper-left half, bottom and right to the lower-right half.
    EXPECT_TRUE(columnHas(up, 15, 0, 5, L(60)));
    EXPECT_TRUE(columnHas(up, 15, 0, 5, L(12)));
    EXPECT_TRUE(rowHas(up, 15, 0, 5, L(60)));
    EXPECT_TRUE(columnHas(up, 15, 24, 29, D(48)));
    EXPECT_TRUE(columnHas(up, 15, 24, 29, D(100)));
    EXPECT_TRUE(rowHas(up, 15, 24, 29, D(48)));
    EXPECT_FALSE(columnHas(up, 15, 24, 29, L(60)));
    QImage down = Pressed(b);
    EXPECT_TRUE(columnHas(down, 15, 0, 5, D(48)));
    EXPECT_TRUE(columnHas(down, 15, 0, 5, D(96)));
    EXPECT_TRUE(columnHas(down, 15, 24, 29, L(64)));
    EXPECT_TRUE(columnHas(down, 15, 24, 29, L(48)));
}

TEST_F(ColorBtnsTest, TabAndSideDownTabEdges) {
    QImage tab = test::Render(Button(bsTab), kUnpainted);
    EXPECT_EQ(test::PixelAt(tab, 0, 12), L(24));
    EXPECT_EQ(test::PixelAt(tab, 1, 12), L(64));
    EXPECT_EQ(test::PixelAt(tab, 23, 12), D(48));
    EXPECT_EQ(test::PixelAt(tab, 24, 12), D(128));
    EXPECT_EQ(test::PixelAt(tab, 12, 23), L(64));
    QImage side = test::Render(Button(bsSideDownTab), kUnpainted);
    EXPECT_EQ(test::PixelAt(side, 0, 12), L(24));
    EXPECT_EQ(test::PixelAt(side, 24, 12), D(128));
    EXPECT_EQ(test::PixelAt(side, 12, 2), D(64));
}

TEST_F(ColorBtnsTest, IE4HasNoFrameUntilHoveredAndNeverTheHoverFill) {
    TColor95Button& b = Button(bsIE4);
    QImage plain = test::Render(b, kUnpainted);
    EXPECT_EQ(test::PixelAt(plain, 0, 0), kUnpainted);
    EXPECT_EQ(test::PixelAt(plain, 12, 12), kUnpainted);
    Hover(b);
    ASSERT_TRUE(b.MouseInControl());
    QImage hovered = test::Render(b, kUnpainted);
    EXPECT_EQ(test::PixelAt(hovered, 0, 0), L(60));
    EXPECT_EQ(test::PixelAt(hovered, 24, 24), D(100));
    EXPECT_EQ(test::PixelAt(hovered, 12, 12), kUnpainted);
}

TEST_F(ColorBtnsTest, GlassFlatMicroposeAndGradient) {
    QImage glass = test::Render(Button(bsGlass), kUnpainted);
    EXPECT_EQ(test::PixelAt(glass, 12, 12), clWhite);
    EXPECT_EQ(test::PixelAt(glass, 0, 5), D(64));
    EXPECT_EQ(test::PixelAt(glass, 1, 5), kFace);
    EXPECT_EQ(test::PixelAt(glass, 24, 5), D(128));
    QImage flat = test::Render(Button(bsFlat), kUnpainted);
    EXPECT_EQ(test::PixelAt(flat, 0, 0), L(60));
    EXPECT_EQ(test::PixelAt(flat, 24, 24), D(48));
    EXPECT_EQ(test::PixelAt(flat, 12, 12), kFace);
    QImage game = test::Render(Button(bsMicroposeGame), kUnpainted);
    EXPECT_EQ(test::PixelAt(game, 0, 0), kUnpainted);
    EXPECT_EQ(test::PixelAt(game, 12, 12), kFace);

    TColor95Button& g = Button(bsGradient);
    QImage gradient = test::Render(g, kUnpainted);
    EXPECT_EQ(test::PixelAt(gradient, 0, 5), L(24));
    EXPECT_EQ(test::PixelAt(gradient, 23, 5), D(96));
    EXPECT_EQ(test::PixelAt(gradient, 24, 5), kUnpainted);
    EXPECT_EQ(test::PixelAt(gradient, 5, 1), L(24));                          // first band in the first stop
    EXPECT_EQ(test::PixelAt(gradient, 5, 1), test::PixelAt(gradient, 5, 2));  // bands of two rows
    EXPECT_NE(test::PixelAt(gradient, 5, 2), test::PixelAt(gradient, 5, 3));
    EXPECT_LT(test::PixelAt(gradient, 5, 18) & 0xFF, test::PixelAt(gradient, 5, 8) & 0xFF);
    Hover(g);
    QImage hovered = test::Render(g, kUnpainted);
    for (int y = 2; y < 23; ++y) EXPECT_EQ(test::PixelAt(hovered, 10, y), L(24)) << y;
}

TEST_F(ColorBtnsTest, HoverLightensTheFaceOfNewStyle) {
    TColor95Button& b = Button(bsNew);
    Hover(b);
    EXPECT_EQ(test::PixelAt(test::Render(b), 12, 12), L(24));
}

TEST_F(ColorBtnsTest, LatchedButtonIsDithered) {
    TColor95Button& b = Button(bsNew);
    b.SetGroupIndex(1);
    b.SetDown(true);
    ASSERT_EQ(b.State(), bsExclusive);
    QImage img = test::Render(b);
    EXPECT_EQ(test::PixelAt(img, 4, 4), L(128));
    EXPECT_EQ(test::PixelAt(img, 5, 4), kFace);
    EXPECT_EQ(test::PixelAt(img, 5, 5), L(128));
    b.SetOptions(boShowMouseFocus);
    EXPECT_EQ(test::PixelAt(test::Render(b), 4, 4), kFace);
}

TEST_F(ColorBtnsTest, DisabledCaptionIsEngraved) {
    TColor95Button& b = Button(bsNew, 40);
    b.SetCaption("Ab");
    b.SetEnabled(false);
    QImage img = test::Render(b);
    // Smoothed text: the light copy's ink (lighter than the face) lies one pixel right of and
    // below the dark copy's ink (darker than the face), which is drawn over it.
    const int face = int(ColorToRGB(kFace) & 0xFF);
    int maxLightX = -1, maxDarkX = -1, maxLightY = -1, maxDarkY = -1, black = 0;
    int darkest = face;
    for (int y = 4; y < img.height() - 4; ++y)
        for (int x = 4; x < img.width() - 4; ++x) {
            const TColor c = test::PixelAt(img, x, y);
            const int level = int(c & 0xFF);
            darkest = std::min(darkest, level);
            if (level > face) {
                maxLightX = std::max(maxLightX, x);
                maxLightY = std::max(maxLightY, y);
            } else if (level < face) {
                maxDarkX = std::max(maxDarkX, x);
                maxDarkY = std::max(maxDarkY, y);
            }
            if (c == clBlack) ++black;
        }
    ASSERT_GE(maxDarkX, 0);
    EXPECT_EQ(maxLightX, maxDarkX + 1);
    EXPECT_EQ(maxLightY, maxDarkY + 1);
    // Where the dark copy covers its pixels fully it has its colour.
    EXPECT_EQ(darkest, int(D(96) & 0xFF));
    EXPECT_EQ(black, 0);
}

TEST_F(ColorBtnsTest, AutomaticTextColourFollowsTheFace) {
    auto colours = [this](TColor face) {
        TColor95Button& b = Button(bsFlat, 40);
        b.SetColor(face);
        b.SetCaption("WW");
        QImage img = test::Render(b);
        std::pair<int, int> count{0, 0};
        for (int y = 2; y < 38; ++y)
            for (int x = 2; x < 38; ++x) {
                const TColor c = test::PixelAt(img, x, y);
                count.first += c == clWhite;
                count.second += c == clBlack;
            }
        return count;
    };
    const auto dark = colours(RGB(40, 40, 40));
    EXPECT_GT(dark.first, 0);
    EXPECT_EQ(dark.second, 0);
    const auto light = colours(RGB(200, 200, 200));
    EXPECT_EQ(light.first, 0);
    EXPECT_GT(light.second, 0);
}

TEST_F(ColorBtnsTest, GlyphCountComesFromTheBitmapShape) {
    TColor95Button& b = Button(bsNew);
    b.SetGlyph(Solid(64, 16, qRgb(1, 2, 3)));
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.SetGlyph(Solid(20, 18, qRgb(1, 2, 3)));
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.SetGlyph(Solid(80, 16, qRgb(1, 2, 3)));
    EXPECT_EQ(b.NumGlyphs(), 1);
    b.SetNumGlyphs(9);
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.SetNumGlyphs(0);
    EXPECT_EQ(b.NumGlyphs(), 4);
}

TEST_F(ColorBtnsTest, PressedShowsTheUpImageWithFewerThanThreeGlyphs) {
    QImage glyph(48, 16, QImage::Format_RGB32);
    glyph.fill(qRgb(128, 128, 0));
    for (int cell = 0; cell < 3; ++cell) {
        const QRgb c = cell == 0 ? qRgb(255, 0, 0) : cell == 1 ? qRgb(0, 0, 255) : qRgb(0, 255, 0);
        for (int y = 2; y < 12; ++y)
            for (int x = 2; x < 14; ++x) glyph.setPixel(cell * 16 + x, y, c);
    }
    TColor95Button& three = Button(bsFlat, 40);
    three.SetGlyph(glyph);
    EXPECT_EQ(test::PixelAt(Pressed(three), 20, 20), clLime);
    TColor95Button& two = Button(bsFlat, 40);
    two.SetGlyph(glyph.copy(0, 0, 32, 16));
    EXPECT_EQ(two.NumGlyphs(), 2);
    EXPECT_EQ(test::PixelAt(Pressed(two), 20, 20), clRed);
}

TEST_F(ColorBtnsTest, DisabledGlyphImages) {
    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(qRgb(128, 128, 0));
    for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x) glyph.setPixel(x, y, qRgb(0, 0, 0));
    glyph.setPixel(10, 10, qRgb(255, 255, 255));
    TButtonGlyph single;
    single.SetGlyph(glyph);
    const TMask mask = single.DisabledMask();
    EXPECT_TRUE(mask.Bit(5, 5));
    EXPECT_FALSE(mask.Bit(10, 10));
    EXPECT_FALSE(mask.Bit(0, 15));
    const int slot = single.CreateButtonGlyph(bsDisabled, kFace);
    ASSERT_GE(slot, 0);
    const QImage& engraved = single.List()->Image(slot);
    EXPECT_EQ(test::PixelAt(engraved, 4, 4), D(48));
    EXPECT_EQ(test::PixelAt(engraved, 8, 8), L(96));
    EXPECT_EQ(test::PixelAt(engraved, 10, 10), kFace);
    EXPECT_EQ(test::PixelAt(engraved, 0, 0), kFace);

    QImage pair(32, 16, QImage::Format_RGB32);
    pair.fill(qRgb(128, 128, 0));
    pair.setPixel(17, 1, qRgb(255, 255, 255));
    pair.setPixel(18, 1, qRgb(128, 128, 128));
    pair.setPixel(19, 1, qRgb(0, 0, 255));
    TButtonGlyph two;
    two.SetGlyph(pair);
    const QImage& recoloured = two.List() ? two.List()->Image(0) : two.Glyph();
    (void)recoloured;
    const int s2 = two.CreateButtonGlyph(bsDisabled, kFace);
    const QImage& img = two.List()->Image(s2);
    EXPECT_EQ(test::PixelAt(img, 1, 1), L(96));
    EXPECT_EQ(test::PixelAt(img, 2, 1), D(48));
    EXPECT_EQ(test::PixelAt(img, 3, 1), clBlue);
    EXPECT_EQ(test::PixelAt(img, 0, 0), kFace);
}

TEST_F(ColorBtnsTest, GlyphListsAreSharedReusedAndFreed) {
    TGlyphList list(4, 4);
    const QImage cell = Solid(4, 4, qRgb(1, 1, 1));
    EXPECT_EQ(list.Add(cell), 0);
    EXPECT_EQ(list.Add(cell), 1);
    EXPECT_EQ(list.Add(cell), 2);
    list.Delete(1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Add(cell), 1);
    EXPECT_EQ(list.Capacity(), 3);

    {
        TButtonGlyph a, b;
        a.SetGlyph(Solid(16, 16, qRgb(1, 2, 3)));
        b.SetGlyph(Solid(16, 16, qRgb(4, 5, 6)));
        a.CreateButtonGlyph(bsUp, kFace);
        b.CreateButtonGlyph(bsUp, kFace);
        ASSERT_NE(TGlyphCache::Instance(), nullptr);
        EXPECT_EQ(a.List(), b.List());
        EXPECT_EQ(a.List()->Count(), 2);
        const long built = TButtonGlyph::BuiltImages();
        a.CreateButtonGlyph(bsUp, kFace);
        EXPECT_EQ(TButtonGlyph::BuiltImages(), built);
        a.SetGlyph(QImage());
        EXPECT_EQ(b.List()->Count(), 1);
    }
    EXPECT_EQ(TGlyphCache::Instance(), nullptr);
}

TEST_F(ColorBtnsTest, TenThousandButtonsLeaveNoGlyphListsOrTimers) {
    const QImage glyph = LoadBitmapResource("YES");
    for (int i = 0; i < 10000; ++i) {
        auto b = std::make_unique<TColor95Button>(window_.get());
        b->SetStyle(bsEllipse);
        b->SetGlyph(glyph);
        b->SetOptions(boRepeatable);
        b->SetEnabled(i % 2 == 0);
        test::Render(*b);
        if (i % 100 == 0) QTest::mousePress(b.get(), Qt::LeftButton, {}, QPoint(3, 3));
    }
    EXPECT_EQ(TGlyphCache::Instance(), nullptr);
    EXPECT_FALSE(TColor95Button::RepeatTimer().isActive());
    EXPECT_EQ(QCoreApplication::instance()->findChildren<QTimer*>(QStringLiteral("ColorBtnsRepeatTimer")).size(), 1);
}

TEST_F(ColorBtnsTest, GroupsLatchOneButtonAndHonourAllowAllUp) {
    TColor95Button& a = Button(bsNew);
    TColor95Button& b = Button(bsNew);
    b.move(30, 0);
    a.SetDown(true);
    EXPECT_FALSE(a.Down());  // no group
    a.SetGroupIndex(1);
    b.SetGroupIndex(1);
    window_->show();
    QTest::mouseClick(&a, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(a.Down());
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b.Down());
    EXPECT_FALSE(a.Down());
    EXPECT_EQ(a.State(), bsUp);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(b.Down());
    EXPECT_EQ(b.State(), bsExclusive);
    b.SetAllowAllUp(true);
    EXPECT_TRUE(a.AllowAllUp());  // told to the group
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b.Down());
}

TEST_F(ColorBtnsTest, RepeatClicksAfterHalfASecondThenEveryTenth) {
    TColor95Button& b = Button(bsNew);
    b.SetOptions(boRepeatable);
    int clicks = 0;
    b.SetOnClick([&](QObject* sender) {
        EXPECT_EQ(sender, &b);
        ++clicks;
    });
    window_->show();
    QElapsedTimer clock;
    clock.start();
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_COMPARE_WITH_TIMEOUT(clicks, 1, 3000);
    EXPECT_GE(clock.elapsed(), 500);
    EXPECT_EQ(TColor95Button::RepeatTimer().interval(), 100);
    const qint64 first = clock.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(clicks, 4, 3000);
    EXPECT_GE(clock.elapsed() - first, 300);

    QTest::mouseMove(&b, QPoint(60, 60));
    const int paused = clicks;
    QTest::qWait(350);
    EXPECT_EQ(clicks, paused);
    EXPECT_TRUE(TColor95Button::RepeatTimer().isActive());
    QTest::mouseMove(&b, QPoint(5, 5));
    QTRY_VERIFY_WITH_TIMEOUT(clicks > paused, 3000);

    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(TColor95Button::RepeatTimer().isActive());
    const int released = clicks;
    QTest::qWait(250);
    EXPECT_EQ(clicks, released);
}

}  // namespace
}  // namespace pavana
