#include "ChartPanel.h"

#include <algorithm>

#include "ChartMessages.h"
#include "Exception.h"
#include "Format.h"
#include "OptionalPart.h"
#include "ScopeExit.h"

void TCustomPanelNoCaption::SetSize(int width, int height) {
    if (width == FWidth && height == FHeight) return;
    FWidth = width;
    FHeight = height;
    Resized();
    Invalidate();
}

// ---------------------------------------------------------------------------
TCustomPlotPanel::TCustomPlotPanel(TComponent* owner)
    : TCustomPanelNoCaption(owner),
      FView3DOptions([this] { Invalidate(); }),
      FCanvas(std::make_unique<TPlotCanvas3D>()) {
    FBorder.SetDefaults(false, esFlat);
    FBorder.OnChange = ChangeHandler();
    FShadow.OnChange = ChangeHandler();
}

TCustomPlotPanel::~TCustomPlotPanel() { Destroying(); }

void TCustomPlotPanel::SetCanvas(std::unique_ptr<TCanvas3D> canvas) {
    if (!canvas) return;
    canvas->SetMonochrome(FCanvas->GetMonochrome());
    FCanvas = std::move(canvas);
    Invalidate();
}

void TCustomPlotPanel::SetChart3DPercent(int value) {
    if (value < 1 || value > 100) throw Exception(Format(PlotConst().ErrChart3DPercent, 1, 100));
    SetValue(FChart3DPercent, value);
}

bool TCustomPlotPanel::IsPrintMarginsStored() const {
    return std::any_of(FPrintMargins.begin(), FPrintMargins.end(), [](int m) { return m != 15; });
}

void TCustomPlotPanel::SetView3D(bool value) {
    if (FView3D == value) return;
    FView3D = value;
    Invalidate();
    TPlotView3DEvent event;
    BroadcastEvent(event);
}

void TCustomPlotPanel::SetMonochrome(bool value) {
    if (FCanvas->GetMonochrome() == value) return;
    FCanvas->SetMonochrome(value);
    Invalidate();
}

void TCustomPlotPanel::Assign(const TPersistent* source) {
    const auto* p = dynamic_cast<const TCustomPlotPanel*>(source);
    if (!p) return;
    FBorder.Assign(&p->FBorder);
    SetBorderRound(p->FBorderRound);
    FCanvas->SetBuffered(p->FCanvas->GetBuffered());
    FPrintMargins = p->FPrintMargins;
    FPrintProportional = p->FPrintProportional;
    for (int i = 0; i < 4; ++i) SetMargin(i, p->Margin(i));
    SetMarginUnits(p->FMarginUnits);
    SetMonochrome(p->Monochrome());
    FShadow.Assign(&p->FShadow);
    SetView3D(p->FView3D);
    FView3DOptions.Assign(&p->FView3DOptions);
    SetChart3DPercent(p->FChart3DPercent);
    SetColor(p->Color());
}

int TCustomPlotPanel::FrameWidth() const {
    int w = BorderWidth();
    if (BevelInner() != bvNone) w += BevelWidth();
    if (BevelOuter() != bvNone) w += BevelWidth();
    if (FBorder.Visible()) w += FBorder.Width();
    return w;
}

void TCustomPlotPanel::CalcPlotRect() {
    const int w = FrameWidth();
    int m[4];
    for (int i = 0; i < 4; ++i) {
        if (FMarginUnits == muPixels)
            m[i] = FMargins[static_cast<std::size_t>(i)];
        else
            m[i] =
                FMargins[static_cast<std::size_t>(i)] * ((i % 2) == 0 ? FPanelRect.Width() : FPanelRect.Height()) / 100;
    }
    FPlotRect = TRect{FPanelRect.Left + w + m[0], FPanelRect.Top + w + m[1], FPanelRect.Right - w - m[2],
                      FPanelRect.Bottom - w - m[3]};
}

void TCustomPlotPanel::RecalcPlotSize() {
    TRect& r = FPlotRect;
    r.Left = std::max(r.Left, FPanelRect.Left);
    r.Top = std::max(r.Top, FPanelRect.Top);
    // The far edges stay inside the panel too (negative margins would push them
    // out), and an empty edge pair is opened to the panel's far edge, never
    // beyond it: the plot rectangle is never wider or taller than the panel.
    r.Right = std::min(r.Right, FPanelRect.Right);
    r.Bottom = std::min(r.Bottom, FPanelRect.Bottom);
    if (r.Right < r.Left)
        r.Right = r.Left + 1;
    else if (r.Right == r.Left)
        r.Right = std::max(r.Left + 1, std::min(r.Left + FPanelRect.Width(), FPanelRect.Right));
    if (r.Bottom < r.Top)
        r.Bottom = r.Top + 1;
    else if (r.Bottom == r.Top)
        r.Bottom = std::max(r.Top + 1, std::min(r.Top + FPanelRect.Height(), FPanelRect.Bottom));
}

void TCustomPlotPanel::SetMouseCursor(TCursor value) {
    if (FMouseCursor == value) return;
    FMouseCursor = value;
    if (RequestCursor) RequestCursor(value);
}

void TCustomPlotPanel::SetHint(const std::string& text, int x, int y) {
    FHint = text;
    FShowHint = FShowHint || !text.empty();
    if (RequestHint) RequestHint(text, x, y);
}

void TCustomPlotPanel::Invalidate() {
    if (!FAutoRepaint || IsDestroying()) return;
    ++FInvalidateCount;
    if (FCanvas) FCanvas->MarkDirty();
    if (RequestRepaint) RequestRepaint();
}

void TCustomPlotPanel::Repaint() {
    Invalidate();
    if (FAutoRepaint && !IsDestroying() && RequestRepaintNow) RequestRepaintNow();
}

void TCustomPlotPanel::Paint(TCanvas& target, const TRect& client) {
    if (FPrinting) return;
    TCanvas* previous = FCanvas->GetDeviceHandle();
    FCanvas->AttachCanvas(&target);
    const ScopeExit detach([&] { DetachTarget(&target, previous); });
    if (!FCanvas->RepaintFromBuffer()) Draw(&target, client);
}

void TCustomPlotPanel::DetachTarget(TCanvas* target, TCanvas* previous) {
    // Measuring between paints must not reach a target that may be gone by then.
    if (FCanvas->GetDeviceHandle() == target) FCanvas->AttachCanvas(previous == target ? nullptr : previous);
}

void TCustomPlotPanel::Draw(TCanvas* target, const TRect& r) {
    FPanelRect = FCanvas->BeginDrawing(target, &FView3DOptions, r, FView3D, Color());
    CalcPlotRect();
    RecalcPlotSize();
    InternalDraw(FPanelRect);
    FCanvas->PresentBuffer(target, nullptr, TPoint{r.Left, r.Top});
}

TRect TCustomPlotPanel::GetRectangle() const { return ClientRect(); }

std::unique_ptr<TBitmap> TCustomPlotPanel::DrawToBitmap() {
    const TRect r = GetRectangle();
    auto bitmap = std::make_unique<TBitmap>(std::max(0, r.Width()), std::max(0, r.Height()));
    if (ColorToRGB(Color()) != clWhite && Color() != clNone) {
        TCanvas& c = bitmap->Canvas();
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(ColorToRGB(Color()));
        c.FillRect(TRect{0, 0, r.Width(), r.Height()});
    }
    const bool buffered = FCanvas->GetBuffered();
    TCanvas* previous = FCanvas->GetDeviceHandle();
    FCanvas->SetBuffered(false);
    {
        const ScopeExit restore([&] {
            FCanvas->SetBuffered(buffered);
            DetachTarget(&bitmap->Canvas(), previous);
        });
        Draw(&bitmap->Canvas(), TRect{0, 0, r.Width(), r.Height()});
    }
    return bitmap;
}

void TCustomPlotPanel::FillPanelBackground(const TRect& r) {
    if (FPrinting || Color() == clNone) return;
    TCanvas* device = FCanvas->GetDeviceHandle();
    if (!device) return;
    device->Brush().SetBitmap(nullptr);
    device->Brush().SetStyle(bsSolid);
    device->Brush().SetColor(FCanvas->GetMonochrome() ? clWhite : Color());
    FCanvas->FillRectangle(r);
}

void TCustomPlotPanel::PaintBackground(const TRect& rect) {
    TRect r = rect;
    if (FShadow.HorizSize() != 0 || FShadow.VertSize() != 0) {
        TCanvas* device = FCanvas->GetDeviceHandle();
        if (device) {
            device->Brush().SetBitmap(nullptr);
            device->Brush().SetStyle(bsSolid);
            device->Brush().SetColor(HasParent() ? ParentColor() : Color());
        }
        FCanvas->FillRectangle(r);
        r.Right -= FShadow.HorizSize();
        r.Bottom -= FShadow.VertSize();
        FShadow.Draw(*FCanvas, r);
    }
    FillPanelBackground(r);
    if (!FCanvas->IsHardware3D()) DrawPanelBevels(r);
}

void TCustomPlotPanel::DrawPanelBevels(TRect r) {
    TCanvas* device = FCanvas->GetDeviceHandle();
    if (device) device->Brush().SetStyle(bsClear);
    if (FBorder.Visible()) {
        const int p = FBorder.Width();
        const bool dots = FBorder.SmallDots();
        if (!dots && p >= 2) {
            r.Left += p / 2;
            r.Top += p / 2;
            r.Right -= (p - 1) / 2;
            r.Bottom -= (p - 1) / 2;
        }
        FCanvas->SelectPen(FBorder);
        if (device) device->Brush().SetStyle(bsClear);
        if (FBorderRound > 0)
            FCanvas->DrawRoundRectangle(r.Left, r.Top, r.Right - 1, r.Bottom - 1, FBorderRound, FBorderRound);
        else
            FCanvas->DrawRectangle(r.Left, r.Top, r.Right, r.Bottom);
        int shrink = dots ? 1 : (p >= 2 ? (p - 1) / 2 : p - 1);
        if (FBorderRound <= 0) ++shrink;
        r = TRect{r.Left + shrink, r.Top + shrink, r.Right - shrink, r.Bottom - shrink};
    }
    if (FPrinting) return;
    if (device) {
        device->Pen().SetStyle(psSolid);
        device->Pen().SetWidth(1);
        device->Pen().SetMode(pmCopy);
    }
    DrawBevelInside(*FCanvas, r, BevelOuter(), BevelWidth(), FBorderRound);
    if (BorderWidth() != 0) {
        const TColor c = ColorToRGB(Color());
        if (FBorderRound > 0) {
            if (device) device->Pen().SetColor(c);
            FCanvas->DrawRoundRectangle(r.Left, r.Top, r.Right, r.Bottom, FBorderRound, FBorderRound);
            r = TRect{r.Left + BorderWidth(), r.Top + BorderWidth(), r.Right - BorderWidth(), r.Bottom - BorderWidth()};
        } else {
            FCanvas->DrawBevelFrame(r, c, BorderWidth(), c);
        }
    }
    DrawBevelInside(*FCanvas, r, BevelInner(), BevelWidth(), FBorderRound);
}

void TCustomPlotPanel::AddListener(TPlotEventListener* listener) {
    if (listener && std::find(FListeners.begin(), FListeners.end(), listener) == FListeners.end())
        FListeners.push_back(listener);
}

void TCustomPlotPanel::RemoveListener(TPlotEventListener* listener) {
    FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), listener), FListeners.end());
}

void TCustomPlotPanel::BroadcastEvent(TPlotEvent& event) {
    if (IsDestroying()) return;
    event.Sender = this;
    const bool mouse = dynamic_cast<TPlotMouseEvent*>(&event) != nullptr;
    // A listener may remove itself while it is being called.
    const std::vector<TPlotEventListener*> listeners = FListeners;
    for (TPlotEventListener* l : listeners) {
        l->PlotEvent(event);
        if (mouse && CancelMouse) break;
    }
}

void TCustomPlotPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    CancelMouse = false;
    if (FListeners.empty()) return;
    TPlotMouseEvent e;
    e.Event = pmtDown;
    e.Button = button;
    e.Shift = shift;
    e.X = x;
    e.Y = y;
    BroadcastEvent(e);
}

void TCustomPlotPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (FListeners.empty()) return;
    TPlotMouseEvent e;
    e.Event = pmtUp;
    e.Button = button;
    e.Shift = shift;
    e.X = x;
    e.Y = y;
    BroadcastEvent(e);
}

void TCustomPlotPanel::MouseMove(TShiftState shift, int x, int y) {
    CancelMouse = false;
    if (IsDesigning() || FListeners.empty()) return;
    TPlotMouseEvent e;
    e.Event = pmtMove;
    e.Shift = shift;
    e.X = x;
    e.Y = y;
    BroadcastEvent(e);
}

bool TCustomPlotPanel::MouseWheel(TShiftState shift, int delta, int x, int y) {
    (void)shift, (void)delta, (void)x, (void)y;
    return false;
}

// Leaving the chart ends whatever pointer a mouse operation showed.
void TCustomPlotPanel::MouseLeave() { SetMouseCursor(FSavedCursor); }

// ---------------------------------------------------------------------------
TCustomPlotPanelExtended::~TCustomPlotPanelExtended() = default;

TPicture& TCustomPlotPanelExtended::BackImage() {
    return PartOnDemand(FBackImage, [this] {
        auto image = std::make_unique<TPicture>();
        image->OnChange = ChangeHandler();
        return image;
    });
}

void TCustomPlotPanelExtended::SetBackImage(const TPicture* value) {
    // a stored picture always repaints; a dropped one only when there was one
    if (AssignOptionalPart(FBackImage, value, [this]() -> TPicture& { return BackImage(); }) || value) Invalidate();
}

TPlotGradient& TCustomPlotPanelExtended::Gradient() {
    return PartOnDemand(FGradient, [this] {
        auto gradient = std::make_unique<TPlotGradient>();
        gradient->OnChange = ChangeHandler();
        return gradient;
    });
}

void TCustomPlotPanelExtended::SetGradient(const TPlotGradient* value) {
    if (AssignOptionalPart(FGradient, value, [this]() -> TPlotGradient& { return Gradient(); })) Invalidate();
}

void TCustomPlotPanelExtended::Assign(const TPersistent* source) {
    if (const auto* p = dynamic_cast<const TCustomPlotPanelExtended*>(source)) {
        SetBackImage(p->FBackImage.get());
        SetBackImageInside(p->FBackImageInside);
        SetBackImageMode(p->FBackImageMode);
        SetGradient(p->FGradient.get());
        FAllowPanning = p->FAllowPanning;
    }
    TCustomPlotPanel::Assign(source);
}

void TCustomPlotPanelExtended::FillPanelBackground(const TRect& r) {
    if (FGradient && FGradient->Visible())
        FGradient->Draw(Canvas(), r);
    else
        TCustomPlotPanel::FillPanelBackground(r);
}

void TCustomPlotPanelExtended::PaintBackground(const TRect& rect) {
    TRect r = rect;
    TCanvas3D& canvas = Canvas();
    if (Shadow().HorizSize() != 0 || Shadow().VertSize() != 0) {
        TCanvas* device = canvas.GetDeviceHandle();
        if (device) {
            device->Brush().SetBitmap(nullptr);
            device->Brush().SetStyle(bsSolid);
            device->Brush().SetColor(HasParent() ? ParentColor() : Color());
        }
        canvas.FillRectangle(r);
        r.Right -= Shadow().HorizSize();
        r.Bottom -= Shadow().VertSize();
        Shadow().Draw(canvas, r);
    }
    FillPanelBackground(r);
    if (FBackImage && !FBackImageInside) DrawBackImage(r, 0);
    if (!canvas.IsHardware3D()) DrawPanelBevels(r);
}

bool TCustomPlotPanelExtended::BackImageTransp() const {
    const TBitmap* g = FBackImage ? FBackImage->Graphic() : nullptr;
    return g && g->Transparent();
}

void TCustomPlotPanelExtended::SetBackImageTransp(bool value) {
    TBitmap* g = FBackImage ? FBackImage->Graphic() : nullptr;
    if (!g || g->Transparent() == value) return;
    g->SetTransparent(value);
    Invalidate();
}

void TCustomPlotPanelExtended::DrawBackImage(const TRect& rect, int z) {
    const TBitmap* g = FBackImage ? FBackImage->Graphic() : nullptr;
    if (!g || g->Empty()) return;
    TCanvas3D& canvas = Canvas();
    TRect r = rect;
    if (FBackImageMode == pbmStretch) {
        if (z < 1) {
            canvas.StretchGraphic(r, g);
        } else if (canvas.OrthoActive()) {
            TRect p = canvas.RectBoundsAtDepth(r, z);
            if (!View3D()) ++p.Top;
            canvas.StretchGraphic(p, g);
        } else {
            canvas.DrawImageAtDepth(r, g, z);
        }
        return;
    }
    const bool clip = !canvas.IsHardware3D();
    if (clip) {
        if (z != 0)
            canvas.ClipToCube(r, 0, BackImageDepth());
        else
            canvas.ClipToRectangle(r);
    }
    const bool ortho = canvas.OrthoActive();
    if (z > 0 && ortho) r = canvas.RectBoundsAtDepth(r, z);
    const int w = g->Width(), h = g->Height();
    if (FBackImageMode == pbmTile) {
        for (int y = r.Top; y < r.Bottom; y += h)
            for (int x = r.Left; x < r.Right; x += w) {
                if (z > 0 && !ortho)
                    canvas.DrawImageAtDepth(TRect{x, y, x + w, y + h}, g, z);
                else
                    canvas.DrawGraphic(x, y, g);
            }
    } else {
        FillPanelBackground(r);
        canvas.DrawGraphic(r.Left + (r.Width() - w) / 2, r.Top + (r.Height() - h) / 2, g);
    }
    if (clip) canvas.RemoveClipping();
}
