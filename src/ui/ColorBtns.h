// TColor95Button: a push button that paints itself in one of eleven styles from one face
// colour, and the glyph machinery all such buttons share.
//
// Every highlight and shadow of a button is a lighter or darker shade of its own `Color`. A
// button carries an optional glyph of up to four side-by-side images (up, disabled, pressed,
// latched), a caption with an "&" accelerator, a mouse-over highlight, a latched `Down` state
// shared within a group of siblings with the same `GroupIndex`, auto-repeat while held, sounds
// on click and mouse-over, and an owner-draw hook.
//
// Glyph images are built once per state and kept in image lists shared by every button with
// the same glyph size (`TGlyphList`, handed out by the process-wide `TGlyphCache`); a repaint
// copies a cached image. The buttons, the cache and the shared repeat timer belong to the GUI
// thread. The repeat timer is a child of the application object and lives as long as it does.
#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Canvas.h"

namespace pavana {

enum TClr95ButtonStyle {
    bsWin31,
    bsNew,
    bsEllipse,
    bsTab,
    bsIE4,
    bsSideDownTab,
    bsGlass,
    bsFlat,
    bsOwnerDraw,
    bsMicroposeGame,
    bsGradient
};

// Options are a set: bit i is the option of ordinal i.
enum TButtonOption : unsigned {
    boShowMouseFocus = 1u << 0,
    boRepeatable = 1u << 1,
    boDitherPattern = 1u << 2,
    boAutoBlackWhiteText = 1u << 3,
};
using TButtonOptions = unsigned;

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// The state of a button; its ordinal is also the index of the glyph image that shows it.
enum TColorButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

using TNotifyEvent = std::function<void(QObject* sender)>;
using TClrBtnOwnerDrawEvent = std::function<void(QObject* sender, TCanvas& canvas, const TRect& btnRect)>;
using TMouseEvent =
    std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)>;

// An image list of one image size whose slots are reused: a deleted slot is only marked free
// and the next image added takes the lowest free slot; the list grows by one image when none
// is free.
class TGlyphList {
public:
    TGlyphList(int width, int height) : width_(width), height_(height) {}
    TGlyphList(const TGlyphList&) = delete;
    TGlyphList& operator=(const TGlyphList&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Slots in use.
    int Count() const { return count_; }
    // Images held, used or free.
    int Capacity() const { return int(images_.size()); }

    // Stores the image (of the list's size) and returns its slot.
    int Add(const QImage& image);
    void Delete(int slot);
    const QImage& Image(int slot) const { return images_[std::size_t(slot)]; }

private:
    int AllocateSlot();

    int width_;
    int height_;
    int count_ = 0;
    std::vector<bool> used_;
    std::vector<QImage> images_;
};

// The process-wide list of glyph lists, one per glyph size. It exists while any TButtonGlyph
// exists or any list still has a used slot, and is freed with the last glyph once empty.
class TGlyphCache {
public:
    TGlyphCache() = default;
    TGlyphCache(const TGlyphCache&) = delete;
    TGlyphCache& operator=(const TGlyphCache&) = delete;

    // The most recently added list of that size, or a new one.
    TGlyphList& GetList(int width, int height);
    // Gives a list back; a list with no used slot is freed.
    void ReturnList(TGlyphList* list);
    bool Empty() const { return lists_.empty(); }
    int ListCount() const { return int(lists_.size()); }

    // The cache of the process, or null when none exists.
    static TGlyphCache* Instance();

private:
    std::vector<std::unique_ptr<TGlyphList>> lists_;
};

// One button's glyph: the source bitmap (owned copy) and its cached state images.
//
// The transparent colour is olive until a bitmap is set, then the bitmap's bottom-left pixel.
// A bitmap whose width is an exact multiple of its height holds width / height images when
// that is at most 4, else one. `onChange` runs whenever the glyph changes.
class TButtonGlyph {
public:
    explicit TButtonGlyph(std::function<void()> onChange = {});
    ~TButtonGlyph();
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    const QImage& Glyph() const { return source_; }
    void SetGlyph(const QImage& glyph);
    int NumGlyphs() const { return numGlyphs_; }
    // 1 to 4; 0 is ignored and larger values become 4.
    void SetNumGlyphs(int value);
    TColor TransparentColor() const { return transparentColor_; }

    // The slot of the image for the state in face colour `face`, built when missing; -1 for
    // an empty glyph. The disabled image of a single glyph is an engraving of the mask
    // `DisabledMask` in the face's shades; with two or more glyphs the second image is used
    // with white, grey and the transparent colour turned into shades of the face.
    int CreateButtonGlyph(TColorButtonState state, TColor face);
    // The glyph list holding the images, or null while none is built.
    const TGlyphList* List() const { return list_; }

    // Lays out glyph and caption in the content rectangle and draws them for the state.
    void Draw(TCanvas& canvas, const TRect& content, std::string_view caption, TButtonLayout layout, int margin,
              int spacing, TColorButtonState state, TColor face, bool autoBlackWhiteText);

    // White where a single-glyph image is engraved when disabled: the pixels that are neither
    // the transparent colour nor light (grey level 192 or more).
    TMask DisabledMask() const;

    // State images built by all glyphs since the process started.
    static long BuiltImages();

private:
    void DropImages();

    std::function<void()> onChange_;
    QImage source_;
    TColor transparentColor_ = clOlive;
    int numGlyphs_ = 1;
    std::array<int, 4> slots_{-1, -1, -1, -1};
    TGlyphList* list_ = nullptr;
    TColor faceUsed_ = clBlack;
};

class TColor95Button : public QWidget {
    Q_OBJECT

public:
    // Size 25 x 25; the colour is the parent's when the parent is a window or a colour panel,
    // else black; the font is the parent's.
    explicit TColor95Button(QWidget* parent = nullptr);
    ~TColor95Button() override;

    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool value);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int value);
    // Latched state; only a button in a group can be down, and a down button with
    // AllowAllUp false stays down until another member of its group goes down.
    bool Down() const { return down_; }
    void SetDown(bool value);
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool value) { setEnabled(value); }
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color);
    const QImage& Glyph() const { return glyph_.Glyph(); }
    void SetGlyph(const QImage& glyph);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    // -1 centres; values below -1 are ignored.
    int Margin() const { return margin_; }
    void SetMargin(int value);
    int Spacing() const { return spacing_; }
    void SetSpacing(int value);
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetNumGlyphs(int value);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TClr95ButtonStyle Style() const { return style_; }
    void SetStyle(TClr95ButtonStyle style);
    TButtonOptions Options() const { return options_; }
    void SetOptions(TButtonOptions options);
    const std::string& SoundClick() const { return soundClick_; }
    void SetSoundClick(std::string name) { soundClick_ = std::move(name); }
    const std::string& SoundMouseOver() const { return soundMouseOver_; }
    void SetSoundMouseOver(std::string name) { soundMouseOver_ = std::move(name); }
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);

    void SetOnClick(TNotifyEvent handler) { onClick_ = std::move(handler); }
    void SetOnDblClick(TNotifyEvent handler) { onDblClick_ = std::move(handler); }
    void SetOnOwnerDraw(TClrBtnOwnerDrawEvent handler);
    void SetOnMouseDown(TMouseEvent handler) { onMouseDown_ = std::move(handler); }
    void SetOnMouseUp(TMouseEvent handler) { onMouseUp_ = std::move(handler); }
    void SetOnMouseMove(TMouseMoveEvent handler) { onMouseMove_ = std::move(handler); }

    // Plays SoundClick, then calls OnClick with this button as sender.
    void Click();

    TColorButtonState State() const { return state_; }
    bool MouseInControl() const { return mouseInControl_; }
    const TButtonGlyph& ButtonGlyph() const { return glyph_; }

    // The timer shared by all buttons for auto-repeat: 500 ms to the first repeated click,
    // then 100 ms. Named "ColorBtnsRepeatTimer".
    static QTimer& RepeatTimer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void RepeatTick();
    void UpdateExclusive();
    void GroupButtonPressed(int groupIndex, const TColor95Button& sender);
    bool Inside(int x, int y) const;
    TRect DrawFace(TCanvas& canvas, const TRect& r, TClr95ButtonStyle style, bool pressed);

    bool allowAllUp_ = false;
    int groupIndex_ = 0;
    bool down_ = false;
    std::string caption_;
    TColor fontColor_ = clWindowText;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
    TColor color_;
    TClr95ButtonStyle style_ = bsNew;
    TButtonOptions options_ = boShowMouseFocus | boDitherPattern | boAutoBlackWhiteText;
    std::string soundClick_;
    std::string soundMouseOver_;
    std::string hint_;
    bool showHint_ = false;
    TNotifyEvent onClick_;
    TNotifyEvent onDblClick_;
    TClrBtnOwnerDrawEvent onOwnerDraw_;
    TMouseEvent onMouseDown_;
    TMouseEvent onMouseUp_;
    TMouseMoveEvent onMouseMove_;

    TColorButtonState state_ = bsUp;
    bool dragging_ = false;
    bool mouseInControl_ = false;
    int shortcutId_ = 0;
    TButtonGlyph glyph_;
    QImage buffer_;

    static QPointer<TColor95Button> repeatTarget_;
};

}  // namespace pavana
