#include "Graphics.h"

#include <array>
#include <vector>

#include "StrUtils.h"

namespace {

// Classic desktop defaults of the system colours, fixed so that pictures are the same everywhere.
constexpr std::array<TColor, 31> ClassicSystemColors = {
    RGB(200, 200, 200),  // scroll bar
    RGB(0, 0, 0),        // background
    RGB(153, 180, 209),  // active caption
    RGB(191, 205, 219),  // inactive caption
    RGB(240, 240, 240),  // menu
    RGB(255, 255, 255),  // window
    RGB(100, 100, 100),  // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(0, 0, 0),        // caption text
    RGB(180, 180, 180),  // active border
    RGB(244, 247, 252),  // inactive border
    RGB(171, 171, 171),  // application workspace
    RGB(0, 120, 215),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(240, 240, 240),  // button face
    RGB(160, 160, 160),  // button shadow
    RGB(109, 109, 109),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(67, 78, 84),     // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(105, 105, 105),  // 3D dark shadow
    RGB(227, 227, 227),  // 3D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(0, 0, 0),        // (unused slot)
    RGB(0, 102, 204),    // hot light
    RGB(185, 209, 234),  // gradient active caption
    RGB(215, 228, 242),  // gradient inactive caption
    RGB(51, 153, 255),   // menu highlight
    RGB(240, 240, 240),  // menu bar
};

std::array<TColor, 31> SystemColors = ClassicSystemColors;

// Index of a system colour in the tables, or -1.
int SystemColorIndex(TColor color) {
    if ((color & 0xFF000000u) != clSystemColor) return -1;
    const std::uint32_t index = color & 0xFFu;
    return index < SystemColors.size() ? static_cast<int>(index) : -1;
}

}  // namespace

TColor ColorToRGB(TColor color) {
    if ((color & 0xFF000000u) == clSystemColor) {
        const int index = SystemColorIndex(color);
        return index >= 0 ? SystemColors[static_cast<std::size_t>(index)] : clBlack;
    }
    return color;
}

void SetSystemColor(TColor systemColor, TColor rgb) {
    const int index = SystemColorIndex(systemColor);
    if (index >= 0) SystemColors[static_cast<std::size_t>(index)] = rgb & 0xFFFFFFu;
}

void ResetSystemColor(TColor systemColor) {
    const int index = SystemColorIndex(systemColor);
    if (index >= 0)
        SystemColors[static_cast<std::size_t>(index)] = ClassicSystemColors[static_cast<std::size_t>(index)];
}

int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const long long p = static_cast<long long>(a) * b;
    const long long half = (c < 0 ? -c : c) / 2;
    long long q;
    if ((p < 0) != (c < 0)) {
        q = (p - (c < 0 ? -half : half)) / c;
    } else {
        q = (p + (c < 0 ? -half : half)) / c;
    }
    return static_cast<int>(q);
}

// ---------------------------------------------------------------------------
void TGraphicsObject::Changed() {
    if (OnChange) {
        OnChange(this);
    }
}

bool TPen::CopyFields(const TPen& p) {
    if (FColor == p.FColor && FWidth == p.FWidth && FStyle == p.FStyle && FMode == p.FMode && FCap == p.FCap) {
        return false;
    }
    FColor = p.FColor;
    FWidth = p.FWidth;
    FStyle = p.FStyle;
    FMode = p.FMode;
    FCap = p.FCap;
    return true;
}

void TPen::Assign(const TPersistent* source) {
    if (const auto* p = dynamic_cast<const TPen*>(source)) {
        if (CopyFields(*p)) Changed();
    }
}

#define NARVI_SETTER(Class, Name, Type, Field) \
    void Class::Set##Name(Type value) {        \
        if (Field != value) {                  \
            Field = value;                     \
            Changed();                         \
        }                                      \
    }

NARVI_SETTER(TPen, Color, TColor, FColor)
NARVI_SETTER(TPen, Width, int, FWidth)
NARVI_SETTER(TPen, Style, TPenStyle, FStyle)
NARVI_SETTER(TPen, Mode, TPenMode, FMode)
NARVI_SETTER(TPen, Cap, TPenCap, FCap)

TBrush::~TBrush() = default;

void TBrush::Assign(const TPersistent* source) {
    if (const auto* b = dynamic_cast<const TBrush*>(source)) {
        FColor = b->FColor;
        FStyle = b->FStyle;
        if (b->FBitmap) {
            FBitmap = std::make_unique<TBitmap>();
            FBitmap->Assign(b->FBitmap.get());
        } else {
            FBitmap.reset();
        }
        Changed();
    }
}

NARVI_SETTER(TBrush, Color, TColor, FColor)
NARVI_SETTER(TBrush, Style, TBrushStyle, FStyle)

void TBrush::SetBitmap(const TBitmap* value) {
    if (!value) {
        if (!FBitmap) {
            return;
        }
        FBitmap.reset();
    } else {
        auto copy = std::make_unique<TBitmap>();
        copy->Assign(value);
        FBitmap = std::move(copy);
    }
    Changed();
}

TFont::TFont() = default;

void TFont::Assign(const TPersistent* source) {
    if (const auto* f = dynamic_cast<const TFont*>(source)) {
        FName = f->FName;
        FHeight = f->FHeight;
        FColor = f->FColor;
        FStyle = f->FStyle;
        FCharset = f->FCharset;
        FOrientation = f->FOrientation;
        Changed();
    }
}

NARVI_SETTER(TFont, Name, const std::string&, FName)
NARVI_SETTER(TFont, Height, int, FHeight)
NARVI_SETTER(TFont, Color, TColor, FColor)
NARVI_SETTER(TFont, Style, TFontStyles, FStyle)
NARVI_SETTER(TFont, Charset, int, FCharset)
NARVI_SETTER(TFont, Orientation, int, FOrientation)

int TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int value) { SetHeight(-MulDiv(value, FPixelsPerInch, 72)); }

void TFont::SetPixelsPerInch(int value) {
    if (value > 0) {
        FPixelsPerInch = value;
    }
}

#undef NARVI_SETTER

// ---------------------------------------------------------------------------
TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Assign(const TPersistent* source) {
    if (const auto* p = dynamic_cast<const TPicture*>(source)) {
        SetGraphic(p->Graphic());
    } else if (const auto* b = dynamic_cast<const TBitmap*>(source)) {
        SetGraphic(b);
    } else if (!source) {
        SetGraphic(nullptr);
    }
}

void TPicture::SetGraphic(const TBitmap* value) {
    if (value) {
        auto copy = std::make_unique<TBitmap>();
        copy->Assign(value);
        FGraphic = std::move(copy);
    } else {
        FGraphic.reset();
    }
    if (OnChange) {
        OnChange(this);
    }
}

TBitmap& TPicture::Bitmap() {
    if (!FGraphic) {
        FGraphic = std::make_unique<TBitmap>();
    }
    return *FGraphic;
}

// ---------------------------------------------------------------------------
namespace {
std::vector<TClass>& classRegistry() {
    static std::vector<TClass> list;
    return list;
}
}  // namespace

void RegisterClass(TClass cls) {
    if (cls && cls->Name && !FindClass(cls->Name)) {
        classRegistry().push_back(cls);
    }
}

void UnRegisterClass(TClass cls) {
    auto& list = classRegistry();
    std::erase(list, cls);
}

TClass FindClass(const char* name) {
    if (!name) {
        return nullptr;
    }
    // class names are identifiers, which the framework compares in any letter case
    for (TClass c : classRegistry()) {
        if (SameText(c->Name, name)) {
            return c;
        }
    }
    return nullptr;
}
