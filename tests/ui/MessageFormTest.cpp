// The message dialog on the window system: layout from the font's metrics, children, default
// button, results, the details toggle, help, placement and the don't-show-again box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "UiTestSupport.h"
#include "rtl/Exceptions.h"
#include "ui/DialogStore.h"
#include "ui/MessageForm.h"
#include "ui/QtFront.h"
#include "ui/Resources.h"
#include "ui/uMarvoDialogs.h"
#include "ui/uvrxButton.h"

namespace pavana {
namespace {

constexpr TMessageButtons Bit(int entry) { return TMessageButtons(1u << entry); }
constexpr TMessageButtons kYes = Bit(0), kNo = Bit(1), kOK = Bit(2), kCancel = Bit(3), kRetry = Bit(4), kAbort = Bit(5),
                          kIgnore = Bit(6), kHelp = Bit(10);

// The layout quantities, worked out here from the form's font as the dialog must.
struct Metrics {
    int X, Y, HM, VM, HS, VS, BH, BS, minimumBW;
};

int MulDiv(int a, int b, int c) { return int((std::int64_t(a) * b + c / 2) / c); }

Metrics MetricsOf(const QFont& font) {
    QImage device(1, 1, QImage::Format_RGB32);
    const QFontMetrics fm(font, &device);
    const int X = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int Y = fm.height();
    return {X,
            Y,
            MulDiv(8, X, 4),
            MulDiv(8, Y, 8),
            MulDiv(10, X, 4),
            MulDiv(10, Y, 8),
            MulDiv(27, Y, 8),
            MulDiv(1, X, 4),
            std::max(MulDiv(10, X, 4), 30)};
}

int CaptionWidth(const QFont& font, const char* caption) {
    QImage device(1, 1, QImage::Format_RGB32);
    const QFontMetrics fm(font, &device);
    return fm.boundingRect(QRect(0, 0, 1 << 20, 0), Qt::TextSingleLine | Qt::TextShowMnemonic,
                           QString::fromUtf8(caption))
               .width() +
           8;
}

TvrxButton* ButtonOf(QWidget& form, const char* name) { return form.findChild<TvrxButton*>(QString::fromLatin1(name)); }

void Press(QWidget& form, const char* name) {
    TvrxButton* button = ButtonOf(form, name);
    ASSERT_NE(button, nullptr) << name;
    TColor95Button& round = button->RoundButton();
    QTest::mouseClick(&round, Qt::LeftButton, {}, QPoint(round.width() / 2, round.height() / 2));
}

bool SameImage(const QImage& a, const QImage& b) {
    return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

class MessageFormTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        store_ = testing::TempDir() + "message_form_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
                 ".ini";
        std::filesystem::remove(store_);
        setenv("PAVANA_REGISTRY", store_.c_str(), 1);
        auto front = std::make_unique<QtFront>();
        front_ = front.get();
        InstallFront(std::move(front));
    }
    void TearDown() override {
        InstallFront(nullptr);
        unsetenv("PAVANA_REGISTRY");
        std::filesystem::remove(store_);
    }

    // Runs `act` on the next modal dialog once it is shown; a dialog still open after five
    // seconds is closed with -1 so that a broken test fails rather than hangs.
    void OnNextDialog(std::function<void(TFormMensagem&)> act) {
        QTimer::singleShot(0, [this, act] {
            auto* form = qobject_cast<TFormMensagem*>(QApplication::activeModalWidget());
            if (!form) {
                ADD_FAILURE() << "no modal dialog";
                return;
            }
            ++dialogsSeen_;
            QPointer<TFormMensagem> guard(form);
            QTimer::singleShot(5000, form, [guard] {
                if (guard) guard->done(-1);
            });
            act(*form);
        });
    }

    std::string store_;
    QtFront* front_ = nullptr;
    int dialogsSeen_ = 0;
};

TEST_F(MessageFormTest, ErrorDialogHasOneOkButtonFillingThePanel) {
    OnNextDialog([](TFormMensagem& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Erro"));
        auto* image = form.findChild<QLabel*>(QStringLiteral("Image"));
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(SameImage(image->pixmap().toImage(), LoadIconImage("xError", 32)));
        EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("Message"))->text(),
                  QStringLiteral("Número de parâmetros invalido."));
        EXPECT_EQ(form.findChild<QPlainTextEdit*>(), nullptr);
        EXPECT_EQ(form.findChild<QCheckBox*>(), nullptr);
        auto* panel = form.findChild<QFrame*>(QStringLiteral("PainelBotoes"));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->geometry(), QRect(0, form.height() - panel->height(), form.width(), panel->height()));
        TvrxButton* ok = ButtonOf(form, "OK");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->geometry(), panel->contentsRect());
        EXPECT_TRUE(ok->Default());
        EXPECT_TRUE(SameImage(ok->Glyph(), LoadBitmapResource("OK")));
        Press(form, "OK");
    });
    EXPECT_EQ(MessageDlgEx("Número de parâmetros invalido.", mkError, 4, 0), 1);

    // Closed by its close box; placed at left 40 (the frame's left), the top stays the one of
    // building, which centred the outer height.
    QPoint placed;
    int centredTop = 0;
    OnNextDialog([&](TFormMensagem& form) {
        placed = form.pos();
        centredTop = QGuiApplication::primaryScreen()->geometry().height() / 2 - form.frameGeometry().height() / 2;
        form.close();
    });
    EXPECT_EQ(MessageDlgEx("Número de parâmetros invalido.", mkError, 4, 0, 40, -5, {}, false), 2);
    EXPECT_EQ(placed, QPoint(40, centredTop));
}

TEST_F(MessageFormTest, LayoutFollowsTheFontMetrics) {
    const std::string text = "Deseja gravar\tas alterações?";
    auto form = CreateMessageForm(text, mkConfirmation, kYes | kNo | kCancel, {}, false, false);
    EXPECT_EQ(form->font().family(), QStringLiteral("Arial"));
    const Metrics m = MetricsOf(form->font());
    int BW = m.minimumBW;
    for (const char* caption : {"&Sim", "&Não", "Cancelar"}) BW = std::max(BW, CaptionWidth(form->font(), caption));

    auto* message = form->findChild<QLabel*>(QStringLiteral("Message"));
    ASSERT_NE(message, nullptr);
    const QRect text_rect =
        QFontMetrics(form->font())
            .boundingRect(QRect(0, 0, QGuiApplication::primaryScreen()->geometry().width() / 2, 0),
                          Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic, QString::fromStdString(text));
    EXPECT_EQ(message->geometry(), QRect(m.HM + 32 + m.HS, m.VM, text_rect.width(), text_rect.height()));
    EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("Image"))->geometry(), QRect(m.HM, m.VM, 32, 32));

    const int IW = text_rect.width() + 32 + m.HS;
    const int IH = std::max(text_rect.height(), 32);
    const int GW = 3 * BW + 2 * m.BS;
    EXPECT_EQ(form->width(), std::max(IW, GW) + 2 * m.HM);
    EXPECT_EQ(form->height(), IH + m.BH + m.VS + 2 * m.VM);

    // The buttons stand in table order, BW apart plus BS, the last ending at the right edge.
    int x = form->width() - GW;
    for (const char* name : {"Yes", "No", "Cancel"}) {
        TvrxButton* button = ButtonOf(*form, name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->geometry(), QRect(x, 1, BW, m.BH)) << name;
        x += BW + m.BS;
    }
    EXPECT_EQ(x - m.BS, form->width());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form->x(), screen.width() / 2 - form->frameGeometry().width() / 2);
    EXPECT_EQ(form->y(), screen.height() / 2 - form->frameGeometry().height() / 2);
}

TEST_F(MessageFormTest, DefaultButtonIsOkElseYesElseRetryElseNone) {
    struct Case {
        TMessageButtons buttons;
        const char* expected;
    } cases[] = {
        {kYes | kOK | kRetry, "OK"},
        {kNo | kYes | kRetry, "Yes"},
        {kAbort | kRetry | kIgnore, "Retry"},
        {kAbort | kIgnore | kCancel, nullptr},
    };
    for (const Case& c : cases) {
        auto form = CreateMessageForm("x", mkWarning, c.buttons, {}, false, false);
        int defaults = 0;
        for (TvrxButton* button : form->findChildren<TvrxButton*>()) {
            if (!button->Default()) continue;
            ++defaults;
            EXPECT_EQ(button->objectName().toStdString(), c.expected ? c.expected : "(none)");
        }
        EXPECT_EQ(defaults, c.expected ? 1 : 0);
    }
}

TEST_F(MessageFormTest, EveryButtonGivesItsModalResult) {
    for (std::size_t entry = 0; entry < 10; ++entry) {
        auto form = CreateMessageForm("Escolha", mkInformation, Bit(int(entry)), {}, false, false);
        form->show();
        Press(*form, std::string(kMessageButtons[entry].name).c_str());
        EXPECT_EQ(form->result(), kMessageButtons[entry].modalResult) << kMessageButtons[entry].name;
        EXPECT_FALSE(form->isVisible());
    }
}

TEST_F(MessageFormTest, HelpAsksForTheContextAndKeepsTheDialogOpen) {
    std::string file;
    int context = -1;
    front_->SetHelpHandler([&](const std::string& f, int c) {
        file = f;
        context = c;
    });
    OnNextDialog([](TFormMensagem& form) {
        Press(form, "Help");
        EXPECT_TRUE(form.isVisible());
        Press(form, "Cancel");
    });
    EXPECT_EQ(MessageDlgEx("Ajuda?", mkWarning, kHelp | kCancel, 77, -1, -1, {}, false, "/docs/ajuda.html", false), 2);
    EXPECT_EQ(file, "/docs/ajuda.html");
    EXPECT_EQ(context, 77);
}

TEST_F(MessageFormTest, DetailsButtonAtTheLeftTogglesTheHeightByExactly100) {
    auto form = CreateMessageForm("Erro na conexão.", mkMensagem, kOK, "Could not find file '/x.db'.", true, false);
    const Metrics m = MetricsOf(form->font());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Mensagem"));
    EXPECT_TRUE(SameImage(form->findChild<QLabel*>(QStringLiteral("Image"))->pixmap().toImage(),
                          LoadIconImage("xMensagem", 32)));
    EXPECT_GE(form->width(), 2 * m.HM + 220);

    auto* panel = form->findChild<QFrame*>(QStringLiteral("PainelBotoes"));
    TvrxButton* details = ButtonOf(*form, "Detalhes");
    TvrxButton* ok = ButtonOf(*form, "OK");
    ASSERT_TRUE(panel && details && ok);
    const QRect inside = panel->contentsRect();
    EXPECT_EQ(details->x(), inside.left());
    EXPECT_EQ(details->height(), inside.height());
    EXPECT_EQ(ok->x(), details->geometry().right() + 1);
    EXPECT_EQ(ok->geometry().right(), inside.right());
    EXPECT_TRUE(SameImage(details->Glyph(), LoadBitmapResource("DETALHES")));

    const int collapsed = form->height();
    EXPECT_EQ(MessageFormCollapsedHeight(), collapsed);
    auto* memo = form->findChild<QPlainTextEdit*>(QStringLiteral("memoDetalhes"));
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->geometry(), QRect(0, collapsed - m.BH, form->width(), 100));
    auto* box = form->findChild<QCheckBox*>(QStringLiteral("chkNaoMostrardeNovo"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->geometry(), QRect(0, collapsed - m.BH - 17, form->width(), 17));

    form->show();
    const QPoint corner = form->pos();
    details->RoundButton().Click();
    EXPECT_EQ(form->height(), collapsed + 100);
    EXPECT_EQ(form->pos(), corner);
    EXPECT_EQ(panel->geometry().bottom(), form->height() - 1);
    EXPECT_TRUE(SameImage(details->Glyph(), LoadBitmapResource("DETALHES2")));
    details->RoundButton().Click();
    EXPECT_EQ(form->height(), collapsed);
    EXPECT_TRUE(SameImage(details->Glyph(), LoadBitmapResource("DETALHES")));

    auto opened = CreateMessageForm("Erro na conexão.", mkMensagem, kOK, "x", false, true);
    EXPECT_EQ(opened->height(), MessageFormExpandedHeight());
    EXPECT_EQ(MessageFormExpandedHeight(), MessageFormCollapsedHeight() + 100);
    EXPECT_TRUE(SameImage(ButtonOf(*opened, "Detalhes")->Glyph(), LoadBitmapResource("DETALHES2")));
}

TEST_F(MessageFormTest, LongTextWrapsAtHalfTheScreenWidth) {
    std::string text;
    for (int i = 0; i < 120; ++i) text += "atualização ";
    auto form = CreateMessageForm(text, mkWarning, kOK, {}, false, false);
    const Metrics m = MetricsOf(form->font());
    auto* message = form->findChild<QLabel*>(QStringLiteral("Message"));
    const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
    EXPECT_LE(message->width(), half);
    EXPECT_GT(message->width(), half - 100);
    EXPECT_GT(message->height(), 3 * QFontMetrics(form->font()).height());
    EXPECT_EQ(form->width(), message->width() + 32 + m.HS + 2 * m.HM);
}

TEST_F(MessageFormTest, TickedBoxSuppressesTheMessageAfterwards) {
    const std::string text = "Conexão recusada.";
    OnNextDialog([](TFormMensagem& form) {
        form.findChild<QCheckBox*>(QStringLiteral("chkNaoMostrardeNovo"))->setChecked(true);
        Press(form, "OK");
    });
    MessageDlgDetails(text, "details", true);
    EXPECT_EQ(dialogsSeen_, 1);
    EXPECT_FALSE(DSAIdentsGetState({}, text));
    EXPECT_EQ(MessageDlgEx(text, mkMensagem, kOK, 0, "details", true), 2);
    EXPECT_EQ(dialogsSeen_, 1);

    OnNextDialog([](TFormMensagem& form) { Press(form, "OK"); });
    EXPECT_EQ(MessageDlgEx("Outra mensagem.", mkMensagem, kOK, 0, "", true), 1);
    EXPECT_TRUE(DSAIdentsGetState({}, "Outra mensagem."));
    EXPECT_TRUE(std::filesystem::exists(store_));
}

TEST_F(MessageFormTest, ButtonWidthsAreMeasuredOnce) {
    auto first = CreateMessageForm("a", mkWarning, Bit(8) | Bit(9), {}, false, false);
    const int width = ButtonOf(*first, "NoToAll")->width();
    const QFont saved = QApplication::font("QMessageBox");
    QFont wide = saved;
    wide.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    QApplication::setFont(wide, "QMessageBox");
    auto later = CreateMessageForm("a", mkWarning, Bit(8) | Bit(9), {}, false, false);
    QApplication::setFont(saved, "QMessageBox");
    ASSERT_GT(CaptionWidth(later->font(), "Nã&o para todos"), width);
    EXPECT_EQ(ButtonOf(*later, "NoToAll")->width(), width);
}

}  // namespace
}  // namespace pavana
