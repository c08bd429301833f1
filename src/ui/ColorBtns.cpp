#include "ui/ColorBtns.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <algorithm>

#include "ui/ClrPanel.h"
#include "ui/Drawing.h"
#include "ui/Resources.h"
#include "ui/Sound.h"

namespace pavana {

namespace {

std::unique_ptr<TGlyphCache>& CacheHolder() {
    static std::unique_ptr<TGlyphCache> cache;
    return cache;
}

int liveGlyphs = 0;
long builtImages = 0;

// The 8 x 8 pattern of latched buttons. Its pixels are repainted for every use, so only the
// resource's size matters.
QImage& PatternBitmap() {
    static QImage pattern = [] {
        QImage image = LoadBitmapResource("CLRBTNPATTERN");
        return image.isNull() ? QImage(8, 8, QImage::Format_RGB32) : image;
    }();
    return pattern;
}

const QImage& Pattern(TColor face) {
    QImage& pattern = PatternBitmap();
    const TColor light = LightenColor(face, 128);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width(); ++x) {
            const TColor c = (x + y) % 2 == 0 ? light : face;
            pattern.setPixel(x, y, qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)));
        }
    return pattern;
}

TColor PixelColor(const QImage& image, int x, int y) {
    const QRgb c = image.pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

}  // namespace

// ---- TGlyphList -------------------------------------------------------------------------

int TGlyphList::AllocateSlot() {
    const auto free = std::find(used_.begin(), used_.end(), false);
    const int slot = int(free - used_.begin());
    if (free == used_.end()) {
        used_.push_back(false);
        images_.emplace_back();
    }
    used_[std::size_t(slot)] = true;
    ++count_;
    return slot;
}

int TGlyphList::Add(const QImage& image) {
    const int slot = AllocateSlot();
    images_[std::size_t(slot)] = image;
    return slot;
}

void TGlyphList::Delete(int slot) {
    if (slot < 0 || slot >= int(used_.size()) || !used_[std::size_t(slot)]) return;
    used_[std::size_t(slot)] = false;
    --count_;
}

// ---- TGlyphCache ------------------------------------------------------------------------

TGlyphList& TGlyphCache::GetList(int width, int height) {
    for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height) return **it;
    lists_.push_back(std::make_unique<TGlyphList>(width, height));
    return *lists_.back();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
    if (!list || list->Count() != 0) return;
    std::erase_if(lists_, [list](const auto& l) { return l.get() == list; });
}

TGlyphCache* TGlyphCache::Instance() { return CacheHolder().get(); }

// ---- TButtonGlyph -----------------------------------------------------------------------

TButtonGlyph::TButtonGlyph(std::function<void()> onChange) : onChange_(std::move(onChange)) {
    if (!CacheHolder()) CacheHolder() = std::make_unique<TGlyphCache>();
    ++liveGlyphs;
}

TButtonGlyph::~TButtonGlyph() {
    DropImages();
    --liveGlyphs;
    if (liveGlyphs == 0 && CacheHolder() && CacheHolder()->Empty()) CacheHolder().reset();
}

long TButtonGlyph::BuiltImages() { return builtImages; }

void TButtonGlyph::DropImages() {
    for (int& slot : slots_) {
        if (slot != -1 && list_) list_->Delete(slot);
        slot = -1;
    }
    if (list_ && CacheHolder()) CacheHolder()->ReturnList(list_);
    list_ = nullptr;
}

void TButtonGlyph::SetGlyph(const QImage& glyph) {
    DropImages();
    source_ = glyph.isNull() ? QImage() : glyph.convertToFormat(QImage::Format_RGB32);
    if (source_.height() > 0) {
        transparentColor_ = PixelColor(source_, 0, source_.height() - 1);
        if (source_.width() % source_.height() == 0) {
            const int n = source_.width() / source_.height();
            numGlyphs_ = n <= 4 ? n : 1;
        }
    }
    if (onChange_) onChange_();
}

void TButtonGlyph::SetNumGlyphs(int value) {
    if (value <= 0) return;
    value = std::min(value, 4);
    if (value == numGlyphs_) return;
    DropImages();
    numGlyphs_ = value;
    if (onChange_) onChange_();
}

TMask TButtonGlyph::DisabledMask() const {
    const int w = source_.width() / numGlyphs_;
    const TColor transparent = transparentColor_;
    return MakeMask(source_, {0, 0, w, source_.height()},
                    [transparent](TColor c) { return c != transparent && int(GreyOfColor(c) & 0xFF) < 192; });
}

int TButtonGlyph::CreateButtonGlyph(TColorButtonState state, TColor face) {
    faceUsed_ = ColorToRGB(face);
    if (state == bsDown && numGlyphs_ < 3) state = bsUp;
    if (slots_[state] != -1) return slots_[state];
    if (source_.width() == 0 || source_.height() == 0) return -1;

    const int w = source_.width() / numGlyphs_;
    const int h = source_.height();
    if (w == 0) return -1;
    if (!list_) list_ = &CacheHolder()->GetList(w, h);

    QImage work(w, h, QImage::Format_RGB32);
    TCanvas canvas(work);
    canvas.Brush.Color = faceUsed_;
    canvas.FillRect({0, 0, w, h});
    const int cell = int(state) >= numGlyphs_ ? 0 : int(state);
    const QImage source = source_.copy(cell * w, 0, w, h);

    if (state != bsDisabled) {
        canvas.Draw(0, 0, source);
    } else if (numGlyphs_ == 1) {
        const TMask mask = DisabledMask();
        canvas.Brush.Color = LightenColor(faceUsed_, 96);
        canvas.BitBlt(1, 1, mask, ROP_DSPDxax);
        canvas.Brush.Color = DarkenColor(faceUsed_, 48);
        canvas.BitBlt(0, 0, mask, ROP_DSPDxax);
    } else {
        canvas.Draw(0, 0, source);
        const auto of = [&source](TColor wanted) {
            return MakeMask(source, {0, 0, source.width(), source.height()},
                            [wanted](TColor c) { return c == wanted; });
        };
        const TMask white = of(clWhite), grey = of(clGray), transparent = of(transparentColor_);
        canvas.Brush.Color = LightenColor(faceUsed_, 96);
        canvas.BitBlt(0, 0, white, ROP_DSPDxax);
        canvas.Brush.Color = DarkenColor(faceUsed_, 48);
        canvas.BitBlt(0, 0, grey, ROP_DSPDxax);
        canvas.Brush.Color = faceUsed_;
        canvas.BitBlt(0, 0, transparent, ROP_DSPDxax);
    }
    slots_[state] = list_->Add(work);
    ++builtImages;
    return slots_[state];
}

void TButtonGlyph::Draw(TCanvas& canvas, const TRect& content, std::string_view caption, TButtonLayout layout,
                        int margin, int spacing, TColorButtonState state, TColor face, bool autoBlackWhiteText) {
    const int cw = content.Width(), ch = content.Height();
    const int gw = source_.isNull() ? 0 : source_.width() / numGlyphs_;
    const int gh = source_.isNull() ? 0 : source_.height();
    int tw = 0, th = 0;
    if (!caption.empty()) {
        TRect measure{0, 0, cw, 0};
        canvas.DrawText(caption, measure, DT_CALCRECT);
        tw = measure.Width();
        th = measure.Height();
    }

    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    TPoint glyphPos, textPos;
    if (horizontal) {
        glyphPos.Y = (ch - gh + 1) / 2;
        textPos.Y = (ch - th + 1) / 2;
    } else {
        glyphPos.X = (cw - gw + 1) / 2;
        textPos.X = (cw - tw + 1) / 2;
    }
    if (tw == 0 || gw == 0) spacing = 0;

    const int client = horizontal ? cw : ch;
    const int glyph = horizontal ? gw : gh;
    const int text = horizontal ? tw : th;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (client - (glyph + text)) / 3;
            spacing = margin;
        } else {
            margin = (client - (glyph + spacing + text) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (client - margin - glyph - text) / 2;
    }

    int glyphAt = 0, textAt = 0;
    if (layout == blGlyphLeft || layout == blGlyphTop) {
        glyphAt = margin;
        textAt = margin + glyph + spacing;
    } else {
        glyphAt = client - margin - glyph;
        textAt = glyphAt - spacing - text;
    }
    (horizontal ? glyphPos.X : glyphPos.Y) = glyphAt;
    (horizontal ? textPos.X : textPos.Y) = textAt;
    glyphPos.X += content.Left;
    glyphPos.Y += content.Top;
    textPos.X += content.Left;
    textPos.Y += content.Top;

    if (!source_.isNull()) {
        const int slot = CreateButtonGlyph(state, face);
        if (slot >= 0) canvas.DrawTransparent(glyphPos.X, glyphPos.Y, list_->Image(slot), transparentColor_);
    }

    if (caption.empty()) return;
    TRect textRect{textPos.X, textPos.Y, textPos.X + tw, textPos.Y + th};
    canvas.Brush.Style = bsClear;
    canvas.Brush.Bitmap = nullptr;
    if (state == bsDisabled) {
        TRect shifted = textRect;
        shifted.Offset(1, 1);
        canvas.Font.Color = LightenColor(face, 96);
        canvas.DrawText(caption, shifted, 0);
        canvas.Font.Color = DarkenColor(face, 96);
        canvas.DrawText(caption, textRect, 0);
    } else {
        if (autoBlackWhiteText) canvas.Font.Color = IsLightColor(ColorToRGB(face)) ? clBlack : clWhite;
        canvas.DrawText(caption, textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

// ---- TColor95Button ---------------------------------------------------------------------

QPointer<TColor95Button> TColor95Button::repeatTarget_;

QTimer& TColor95Button::RepeatTimer() {
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setObjectName(QStringLiteral("ColorBtnsRepeatTimer"));
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [] {
            if (repeatTarget_) repeatTarget_->RepeatTick();
        });
    }
    return *timer;
}

TColor95Button::TColor95Button(QWidget* parent)
    : QWidget(parent), color_(ColorOfOwner(parent, clBlack)), glyph_([this] { update(); }) {
    resize(25, 25);
    setFocusPolicy(Qt::NoFocus);
}

TColor95Button::~TColor95Button() {
    if (repeatTarget_ == this) {
        RepeatTimer().stop();
        repeatTarget_ = nullptr;
    }
}

void TColor95Button::SetAllowAllUp(bool value) {
    if (value == allowAllUp_) return;
    allowAllUp_ = value;
    UpdateExclusive();
}

void TColor95Button::SetGroupIndex(int value) {
    if (value == groupIndex_) return;
    groupIndex_ = value;
    UpdateExclusive();
}

void TColor95Button::SetDown(bool value) {
    if (groupIndex_ == 0) value = false;
    if (value == down_) return;
    if (down_ && !allowAllUp_) return;
    down_ = value;
    state_ = value ? bsExclusive : bsUp;
    update();
    if (value) UpdateExclusive();
}

void TColor95Button::UpdateExclusive() {
    if (groupIndex_ == 0 || !parentWidget()) return;
    for (QObject* child : parentWidget()->children())
        if (auto* button = dynamic_cast<TColor95Button*>(child)) button->GroupButtonPressed(groupIndex_, *this);
}

void TColor95Button::GroupButtonPressed(int groupIndex, const TColor95Button& sender) {
    if (&sender == this || groupIndex != groupIndex_) return;
    if (sender.down_ && down_) {
        down_ = false;
        state_ = bsUp;
        update();
    }
    allowAllUp_ = sender.allowAllUp_;
}

void TColor95Button::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    if (shortcutId_ != 0) releaseShortcut(shortcutId_);
    shortcutId_ = 0;
    const QKeySequence accelerator = QKeySequence::mnemonic(QString::fromStdString(caption_));
    if (!accelerator.isEmpty()) shortcutId_ = grabShortcut(accelerator);
    update();
}

void TColor95Button::SetFontColor(TColor color) {
    fontColor_ = color;
    update();
}

void TColor95Button::SetGlyph(const QImage& glyph) { glyph_.SetGlyph(glyph); }

void TColor95Button::SetLayout(TButtonLayout layout) {
    layout_ = layout;
    update();
}

void TColor95Button::SetMargin(int value) {
    if (value < -1) return;
    margin_ = value;
    update();
}

void TColor95Button::SetSpacing(int value) {
    spacing_ = value;
    update();
}

void TColor95Button::SetNumGlyphs(int value) {
    glyph_.SetNumGlyphs(value);
    update();
}

void TColor95Button::SetColor(TColor color) {
    color_ = color;
    glyph_.CreateButtonGlyph(state_, ColorToRGB(color_));
    update();
}

void TColor95Button::SetStyle(TClr95ButtonStyle style) {
    if (style == style_) return;
    style_ = style;
    repaint();
}

void TColor95Button::SetOptions(TButtonOptions options) {
    options_ = options;
    update();
}

void TColor95Button::SetHint(std::string hint) {
    hint_ = std::move(hint);
    setToolTip(showHint_ ? QString::fromStdString(hint_) : QString());
}

void TColor95Button::SetShowHint(bool value) {
    showHint_ = value;
    setToolTip(showHint_ ? QString::fromStdString(hint_) : QString());
}

void TColor95Button::SetOnOwnerDraw(TClrBtnOwnerDrawEvent handler) {
    onOwnerDraw_ = std::move(handler);
    update();
}

void TColor95Button::Click() {
    PlaySoundByName(soundClick_);
    if (onClick_) onClick_(this);
}

bool TColor95Button::Inside(int x, int y) const { return x >= 0 && x < width() && y >= 0 && y <= height(); }

void TColor95Button::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && isEnabled()) {
        if (!down_) {
            state_ = bsDown;
            repaint();
        }
        dragging_ = true;
        if (options_ & boRepeatable) {
            repeatTarget_ = this;
            RepeatTimer().setInterval(500);
            RepeatTimer().start();
        }
    }
    if (onMouseDown_) onMouseDown_(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TColor95Button::RepeatTick() {
    QTimer& timer = RepeatTimer();
    timer.setInterval(100);
    if (state_ != bsDown || !dragging_) return;
    try {
        Click();
    } catch (...) {
        timer.stop();
        throw;
    }
}

void TColor95Button::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (dragging_) {
        const TColorButtonState next = down_ ? bsExclusive : Inside(p.x(), p.y()) ? bsDown : bsUp;
        if (next != state_) {
            state_ = next;
            update();
        }
    }
    if (onMouseMove_) onMouseMove_(this, event->modifiers(), p.x(), p.y());
}

void TColor95Button::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (dragging_) {
        dragging_ = false;
        const bool inside = Inside(p.x(), p.y());
        state_ = bsUp;
        if (groupIndex_ == 0) {
            update();
        } else {
            if (inside) SetDown(!down_);
            // A latched button that stays down (AllowAllUp false) keeps showing latched.
            if (down_) state_ = bsExclusive;
            update();
        }
        if (inside) Click();
    }
    if (repeatTarget_ == this || !repeatTarget_) RepeatTimer().stop();
    if (onMouseUp_) onMouseUp_(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TColor95Button::mouseDoubleClickEvent(QMouseEvent* event) {
    if (down_ && onDblClick_) onDblClick_(this);
    mousePressEvent(event);
}

void TColor95Button::enterEvent(QEnterEvent*) {
    if ((options_ & boShowMouseFocus) && isEnabled() && !mouseInControl_) {
        mouseInControl_ = true;
        PlaySoundByName(soundMouseOver_);
        update();
    }
}

void TColor95Button::leaveEvent(QEvent*) {
    mouseInControl_ = false;
    update();
}

void TColor95Button::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        state_ = !isEnabled() ? bsDisabled : down_ ? bsExclusive : bsUp;
        glyph_.CreateButtonGlyph(state_, ColorToRGB(color_));
        update();
    } else if (event->type() == QEvent::FontChange) {
        update();
    }
    QWidget::changeEvent(event);
}

bool TColor95Button::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(event)->shortcutId() == shortcutId_) {
        if (isEnabled()) Click();
        return true;
    }
    return QWidget::event(event);
}

TRect TColor95Button::DrawFace(TCanvas& c, const TRect& r, TClr95ButtonStyle style, bool pressed) {
    const TColor f = ColorToRGB(color_);
    const auto L = [f](int n) { return LightenColor(f, n); };
    const auto D = [f](int n) { return DarkenColor(f, n); };
    const TColor s1 = pressed ? D(48) : L(60);
    const TColor s2 = pressed ? L(48) : D(48);
    const TColor s3 = pressed ? L(64) : D(100);
    const TColor s4 = pressed ? D(96) : L(12);
    const int l = r.Left, t = r.Top, rr = r.Right, b = r.Bottom;
    const auto pen = [&c](TColor color, int width = 1) { c.Pen = TPen{color, width, psSolid}; };
    const auto fill = [&c](const TRect& area, TColor color) {
        c.Brush = TBrush{color, bsSolid, nullptr};
        c.FillRect(area);
    };
    const bool designing = false;
    int w = 2;
    TRect box = r;

    switch (style) {
        case bsWin31: {
            w = 3;
            pen(D(126));
            c.Brush = TBrush{f, bsSolid, nullptr};
            c.Rectangle(r);
            for (const TPoint p : {TPoint{l, t}, TPoint{l, b - 1}, TPoint{rr - 1, t}, TPoint{rr - 1, b - 1}})
                c.SetPixel(p.X, p.Y, f);
            if (!pressed) {
                TRect inner = r;
                inner.Inflate(-1, -1);
                Frame3D(c, inner, L(48), D(48), 2);
            } else {
                pen(D(48));
                c.Polyline({{l, b - 1}, {l, t}, {rr, t}});
            }
            break;
        }
        case bsEllipse: {
            const TRect e{l + 2, t + 2, rr - 2, b - 2};
            pen(f);
            c.Brush = TBrush{f, bsSolid, nullptr};
            c.Ellipse(e);
            const TPoint upper{4 * rr / 5, b / 5}, lower{rr / 5, 4 * b / 5};
            pen(s1, 2);
            c.Arc(e, upper, lower);
            pen(pressed ? s3 : s2, 2);
            c.Arc(e, lower, upper);
            pen(s4);
            c.Arc(e, upper, lower);
            pen(pressed ? s2 : s3);
            c.Arc(e, lower, upper);
            break;
        }
        case bsTab:
            fill(r, f);
            pen(L(24));
            c.Polyline({{l, b - 2}, {l, t + 2}, {l + 2, t}, {rr - 2, t}, {rr, t + 2}});
            pen(L(64));
            c.Polyline({{l + 1, b - 3}, {l + 1, t + 3}, {l + 3, t + 1}, {rr - 3, t + 1}, {rr - 1, t + 3}});
            pen(D(48));
            c.Polyline({{rr - 2, b - 4}, {rr - 2, t + 4}});
            pen(D(128));
            c.Polyline({{rr - 1, b - 3}, {rr - 1, t + 3}});
            if (!pressed) {
                pen(L(64));
                c.Polyline({{l, b - 2}, {rr, b - 2}});
            }
            break;
        case bsIE4:
            w = 1;
            if (mouseInControl_ || pressed || designing) Frame3D(c, box, s1, s3, 1);
            break;
        case bsSideDownTab:
            fill(r, f);
            pen(L(24));
            c.Polyline({{l, t + 2}, {l, b - 2}, {l + 2, b}});
            pen(L(64));
            c.Polyline({{l + 1, t + 3}, {l + 1, b - 3}, {l + 3, b - 1}});
            pen(D(48));
            c.Polyline({{l + 2, b - 4}, {l + 4, b - 2}, {rr - 4, b - 2}, {rr - 2, b - 4}, {rr - 2, t + 3}});
            pen(D(128));
            c.Polyline({{l + 1, b - 3}, {l + 3, b - 1}, {rr - 3, b - 1}, {rr - 1, b - 3}, {rr - 1, t + 2}});
            if (!pressed) {
                pen(D(64));
                c.Polyline({{l, t + 2}, {rr, t + 2}});
            }
            break;
        case bsGlass:
            w = 3;
            fill(r, clWhite);
            c.Brush.Style = bsClear;
            if (!pressed) {
                pen(D(128));
                c.Polyline({{l, b - 1}, {rr - 1, b - 1}, {rr - 1, t - 1}});
                pen(D(64));
                c.Rectangle({l, t, rr - 1, b - 1});
                pen(f);
                c.Rectangle({l + 1, t + 1, rr - 2, b - 2});
            } else {
                pen(D(64));
                c.Rectangle({l + 1, t + 1, rr - 1, b - 1});
                pen(f);
                c.Rectangle({l, t, rr, b});
                pen(D(128));
                c.Polyline({{rr - 2, t + 2}, {l + 2, t + 2}, {l + 2, b - 2}});
            }
            break;
        case bsFlat:
            w = 1;
            Frame3D(c, box, s1, s2, 1);
            fill(box, f);
            break;
        case bsMicroposeGame: {
            w = 3;
            const int l1 = l + 1, t1 = t + 1, r1 = rr - 2, b1 = b - 2;
            c.Pen.Style = psClear;
            c.Brush = TBrush{f, bsSolid, nullptr};
            c.RoundRect({l1, t1, r1, b1}, 3, 3);
            const TPoint octagon[] = {{r1, t1 + 3}, {rr - 5, t1}, {l1 + 3, t1}, {l1, t1 + 3}, {l1, b1 - 3},
                                      {l1 + 3, b1}, {rr - 5, b1}, {r1, b1 - 3}, {r1, t1 + 3}};
            const TColor up[] = {D(24), L(48), L(64), L(48), D(24), D(48), D(64), D(48)};
            const TColor down[] = {L(24), D(48), D(64), D(48), L(24), L(48), L(64), L(48)};
            for (int i = 0; i < 8; ++i) {
                pen(pressed ? down[i] : up[i], 2);
                c.MoveTo(octagon[i].X, octagon[i].Y);
                c.LineTo(octagon[i + 1].X, octagon[i + 1].Y);
            }
            box = {l1, t1, r1, b1};
            break;
        }
        case bsGradient: {
            TRect g{l, t, rr - 1, b - 1};
            Frame3D(c, g, pressed ? D(96) : L(24), pressed ? L(24) : D(96), 1);
            --g.Right;
            --g.Bottom;
            if (pressed) {
                const TColor stops[] = {f, D(24), D(64)};
                GradientFill(c, g, stops, 2, 0, 2);
            } else {
                const TColor stops[] = {L(24), f, D(24), D(48)};
                GradientFill(c, g, stops, 3, 0, 2);
            }
            break;
        }
        case bsNew:
        case bsOwnerDraw:
        default:
            fill(r, f);
            Frame3D(c, box, s4, s3, 1);
            Frame3D(c, box, s1, s2, 1);
            break;
    }

    TRect content = style == bsMicroposeGame ? box : r;
    content.Inflate(-w, -w);
    if (pressed) content.Inflate(-1, -1);
    return content;
}

void TColor95Button::paintEvent(QPaintEvent*) {
    if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    buffer_.fill(Qt::transparent);
    {
        TCanvas canvas(buffer_);
        canvas.Font.Font = font();
        canvas.Font.Color = fontColor_;
        if (!isEnabled()) {
            state_ = bsDisabled;
            dragging_ = false;
        } else if (state_ == bsDisabled) {
            state_ = bsUp;
        }
        const TColor face = ColorToRGB(color_);
        const TRect paintRect{0, 0, width(), height()};
        TRect content;
        if (style_ == bsOwnerDraw && onOwnerDraw_) {
            onOwnerDraw_(this, canvas, paintRect);
            content = paintRect;
        } else {
            content = DrawFace(canvas, paintRect, style_, state_ == bsDown || state_ == bsExclusive);
        }

        if (state_ == bsExclusive && style_ != bsOwnerDraw && (options_ & boDitherPattern)) {
            canvas.Brush = TBrush{face, bsSolid, &Pattern(face)};
            if (style_ == bsEllipse) {
                canvas.Pen.Style = psClear;
                canvas.Ellipse({content.Left + 1, content.Top + 1, content.Right - 2, content.Bottom - 2});
            } else {
                canvas.FillRect({content.Left, content.Top, content.Right - 1, content.Bottom - 1});
            }
        }
        if (mouseInControl_ && isEnabled() && state_ != bsDown && style_ != bsIE4) {
            const TColor hover = (state_ == bsUp || state_ == bsExclusive) ? LightenColor(face, 24) : face;
            canvas.Brush = TBrush{hover, bsSolid, nullptr};
            canvas.Pen.Style = psClear;
            if (style_ == bsEllipse)
                canvas.Ellipse({content.Left + 1, content.Top + 1, content.Right - 1, content.Bottom - 1});
            else canvas.FillRect(content);
        }
        glyph_.Draw(canvas, content, caption_, layout_, margin_, spacing_, state_, face,
                    (options_ & boAutoBlackWhiteText) != 0);
    }
    QPainter(this).drawImage(0, 0, buffer_);
}

}  // namespace pavana
