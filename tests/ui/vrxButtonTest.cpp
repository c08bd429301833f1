// TvrxButton: sizes, caption, keyboard, the label, the Enter hook; and the gallery image.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <memory>

#include "UiTestSupport.h"
#include "ui/ClrPanel.h"
#include "ui/Resources.h"
#include "ui/uvrxButton.h"

namespace pavana {
namespace {

class VrxButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        form_ = std::make_unique<QWidget>();
        form_->resize(300, 120);
    }

    void ShowActive() {
        form_->show();
        QApplication::setActiveWindow(form_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    }

    std::unique_ptr<QWidget> form_;
};

TEST_F(VrxButtonTest, NewControlHasItsRoundButtonCentred) {
    TvrxButton b(form_.get());
    ShowActive();
    EXPECT_EQ(b.size(), QSize(40, 40));
    EXPECT_EQ(b.RoundButton().geometry(), QRect(5, 1, 30, 30));
    EXPECT_EQ(b.RoundButton().Style(), bsEllipse);
    EXPECT_EQ(b.BtnColor(), clBtnFace);
    EXPECT_TRUE(b.TabStop());
    EXPECT_TRUE(b.CaptionLabel().isHidden());
    // Halves round to even: (41 - 30) / 2 = 5.5 -> 6, (43 - 30) / 2 = 6.5 -> 6.
    b.resize(41, 40);
    EXPECT_EQ(b.RoundButton().x(), 6);
    b.resize(43, 40);
    EXPECT_EQ(b.RoundButton().x(), 6);
    b.SetRaioBotao(20);
    EXPECT_EQ(b.RoundButton().geometry(), QRect(12, 1, 20, 20));
    EXPECT_EQ(b.RaioBotao(), 20);
}

TEST_F(VrxButtonTest, TextShowsTheLabelAndWidensTheControl) {
    TvrxButton b(form_.get());
    ShowActive();
    b.SetText("   ");
    EXPECT_TRUE(b.CaptionLabel().isHidden());
    b.SetText("Sim para &todos");
    EXPECT_FALSE(b.CaptionLabel().isHidden());
    const int width = TextExtentOf(b.font(), "Sim para &todos").cx;
    ASSERT_GT(width, 40);
    EXPECT_EQ(b.width(), width);
    EXPECT_EQ(b.RoundButton().x(), int(std::nearbyint((width - 30) / 2.0)));
    EXPECT_EQ(b.CaptionLabel().y(), b.height() - b.CaptionLabel().height() - 1);
    b.SetText("&Sim");
    EXPECT_EQ(b.width(), 40);  // follows the new caption, never narrower than 40
    TvrxButton small(form_.get());
    small.SetText("&Sim");
    EXPECT_EQ(small.width(), 40);
    b.SetText("");
    EXPECT_TRUE(b.CaptionLabel().isHidden());
}

TEST_F(VrxButtonTest, AltPlusAcceleratorPressesTheButtonAndTheLetterAloneDoesNot) {
    auto* b = new TvrxButton(form_.get());
    b->SetText("&Sim");
    auto* edit = new QLineEdit(form_.get());
    edit->move(100, 0);
    int clicks = 0;
    b->SetOnClick([&](QObject*) { ++clicks; });
    ShowActive();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_S);
    EXPECT_EQ(clicks, 0);
    QTest::keyClick(edit, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(b->hasFocus());
}

TEST_F(VrxButtonTest, EnterAndSpaceClickOnceWithTheRoundButtonAsSender) {
    auto* b = new TvrxButton(form_.get());
    std::vector<QObject*> senders;
    b->SetOnClick([&](QObject* sender) { senders.push_back(sender); });
    ShowActive();
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &b->RoundButton());
    QTest::keyClick(b, Qt::Key_Return);
    EXPECT_EQ(senders.size(), 2u);
    QTest::keyClick(b, Qt::Key_X);
    EXPECT_EQ(senders.size(), 2u);
}

TEST_F(VrxButtonTest, FocusRectangleShowsWhileFocused) {
    auto* b = new TvrxButton(form_.get());
    auto* edit = new QLineEdit(form_.get());
    edit->move(100, 0);
    ShowActive();
    edit->setFocus();
    const QImage unfocused = test::Render(*b);
    b->setFocus();
    const QImage focused = test::Render(*b);
    EXPECT_EQ(test::PixelAt(unfocused, 0, 0), test::kFixedButtonFace);
    EXPECT_EQ(test::PixelAt(focused, 0, 0), RGB(0x3F, 0x3F, 0x3F));
    EXPECT_EQ(test::PixelAt(focused, 1, 0), test::kFixedButtonFace);
}

TEST_F(VrxButtonTest, EnterHookPressesTheDefaultChildOfTheActiveForm) {
    auto* b = new TvrxButton(form_.get());
    b->SetDefault(true);
    auto* edit = new QLineEdit(form_.get());
    edit->move(100, 0);
    int clicks = 0, returns = 0;
    b->SetOnClick([&](QObject*) { ++clicks; });
    QObject::connect(edit, &QLineEdit::returnPressed, [&] { ++returns; });
    ShowActive();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(returns, 0);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
    QApplication::sendEvent(edit, &repeat);
    EXPECT_EQ(clicks, 1);
}

TEST_F(VrxButtonTest, EnterHookIgnoresDefaultButtonsInsidePanels) {
    auto* panel = new TColorPanel(form_.get());
    panel->resize(100, 60);
    auto* b = new TvrxButton(panel);
    b->SetDefault(true);
    auto* edit = new QLineEdit(form_.get());
    edit->move(120, 0);
    int clicks = 0, returns = 0;
    b->SetOnClick([&](QObject*) { ++clicks; });
    QObject::connect(edit, &QLineEdit::returnPressed, [&] { ++returns; });
    ShowActive();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(returns, 1);
}

TEST_F(VrxButtonTest, LabelClickOnlyFocuses) {
    auto* b = new TvrxButton(form_.get());
    b->SetText("&Sim");
    auto* edit = new QLineEdit(form_.get());
    edit->move(100, 0);
    int clicks = 0;
    b->SetOnClick([&](QObject*) { ++clicks; });
    ShowActive();
    edit->setFocus();
    QTest::mouseClick(&b->CaptionLabel(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(b->hasFocus());
    EXPECT_EQ(clicks, 0);
    QTest::mouseClick(&b->RoundButton(), Qt::LeftButton, {}, QPoint(15, 15));
    EXPECT_EQ(clicks, 1);
}

TEST_F(VrxButtonTest, EnabledAppliesToBothParts) {
    TvrxButton b(form_.get());
    b.SetEnabled(false);
    EXPECT_FALSE(b.Enabled());
    EXPECT_FALSE(b.isEnabled());
    EXPECT_EQ(b.RoundButton().State(), bsDisabled);
    b.SetEnabled(true);
    EXPECT_TRUE(b.RoundButton().isEnabled());
}

// Renders every style in every state, and the push buttons of the dialogs, into one picture
// for people to look at: build/ui-gallery.png.
TEST_F(VrxButtonTest, GalleryOfEveryStyleAndState) {
    const char* states[] = {"up", "hover", "pressed", "latched", "disabled"};
    const int cell = 64, columns = 5, rows = 11 + 2;
    QImage gallery(columns * cell, rows * cell, QImage::Format_RGB32);
    gallery.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter painter(&gallery);
    const QImage glyph = LoadBitmapResource("YES");
    for (int style = 0; style <= bsGradient; ++style)
        for (int s = 0; s < columns; ++s) {
            QWidget host;
            host.resize(cell, cell);
            auto* b = new TColor95Button(&host);
            b->setGeometry(4, 4, cell - 8, cell - 8);
            b->SetStyle(TClr95ButtonStyle(style));
            b->SetColor(style == bsGlass ? RGB(90, 120, 200) : RGB(0x60, 0x90, 0xC0));
            b->SetGlyph(glyph);
            b->SetLayout(blGlyphTop);
            b->SetCaption(states[s]);
            if (style == bsOwnerDraw)
                b->SetOnOwnerDraw([](QObject*, TCanvas& c, const TRect& r) {
                    c.Brush.Color = clYellow;
                    c.Pen.Color = clBlack;
                    c.Rectangle(r);
                });
            if (s == 1) {
                QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
                QCoreApplication::sendEvent(b, &enter);
            } else if (s == 2) {
                QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
            } else if (s == 3) {
                b->SetGroupIndex(1);
                b->SetDown(true);
            } else if (s == 4) {
                b->SetEnabled(false);
            }
            painter.drawImage(s * cell, style * cell, test::Render(host, 0xC0C0C0));
            if (s == 2) QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(10, 10));
        }
    const char* names[] = {"YES", "NO", "OK", "CANCEL", "RETRY", "ABORT", "IGNORE", "ALL", "NOTOALL", "YESTOALL"};
    for (int i = 0; i < 10; ++i) {
        TvrxButton b;
        b.SetText(names[i]);
        b.SetGlyph(LoadBitmapResource(names[i]));
        b.resize(cell - 4, cell - 4);
        painter.drawImage((i % columns) * cell, (11 + i / columns) * cell, test::Render(b, 0xC0C0C0));
    }
    painter.end();
    const QString path = QStringLiteral(PAVANA_BINARY_DIR "/ui-gallery.png");
    ASSERT_TRUE(gallery.save(path));
    EXPECT_EQ(QImage(path).size(), gallery.size());
}

}  // namespace
}  // namespace pavana
