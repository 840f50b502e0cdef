// Controls of our own window classes that paint themselves: panel, bevel, image and speed button.
#pragma once

#include <functional>
#include <string>

#include "ui/Controls.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised };

struct TPanelArgs {
    WERB_CONTROL_ARGS
    std::string Caption;
    TPanelBevel BevelOuter = bvRaised;
    TPanelBevel BevelInner = bvNone;
    int BevelWidth = 1;
    int BorderWidth = 0;
    TColor Color = clBtnFace;
};

// A container: background colour, outer bevel, border, inner bevel; aligned children share what is inside.
class TPanel : public TControl {
public:
    TPanel(TControl& parent, const TPanelArgs& args = {});
    ~TPanel() override;

    TColor Color() const { return FColor; }
    void SetColor(TColor c);
    TColor BackgroundColor() const override { return FColor; }
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevels(TPanelBevel outer, TPanelBevel inner);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int w);

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    RECT AlignRect() const override;

private:
    void Paint(HDC dc);

    TColor FColor = clBtnFace;
    TPanelBevel FBevelOuter = bvRaised;
    TPanelBevel FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

struct TBevelArgs {
    WERB_CONTROL_ARGS
    TBevelShape Shape = bsBox;
    TBevelStyle Style = bsLowered;
};

// A line or frame; the mouse passes through it.
class TBevel : public TControl {
public:
    TBevel(TControl& parent, const TBevelArgs& args = {});
    ~TBevel() override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint(HDC dc);

    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};

struct TImageArgs {
    WERB_CONTROL_ARGS
    bool Stretch = false;
    bool Center = false;
};

// Shows a bitmap made in code; it owns the bitmap.
class TImage : public TControl {
public:
    TImage(TControl& parent, const TImageArgs& args = {});
    ~TImage() override;

    void SetPicture(TBitmap picture);
    const TBitmap& Picture() const { return FPicture; }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool s);

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint(HDC dc);

    TBitmap FPicture;
    bool FStretch = false;
    bool FCenter = false;
};

struct TSpeedButtonArgs {
    WERB_CONTROL_ARGS
    std::string Caption;
    bool Flat = false;
    int GroupIndex = 0;
    bool AllowAllUp = false;
    bool Down = false;
};

// A button that never takes the focus, with a glyph, that may stay down in a group.
// A click on an up button of a group puts it down and the others of the same parent and group up; a click
// on the down button raises it only when AllowAllUp; OnClick follows every click. Down set from code
// fires nothing (and, as in Delphi, cannot raise the down button of a group that does not allow all up).
class TSpeedButton : public TControl {
public:
    TSpeedButton(TControl& parent, const TSpeedButtonArgs& args = {});
    ~TSpeedButton() override;

    bool Down() const { return FDown; }
    void SetDown(bool down);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int g) { FGroupIndex = g; }
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool a) { FAllowAllUp = a; }
    bool Flat() const { return FFlat; }
    void SetFlat(bool f);

    void SetGlyph(TBitmap glyph);
    // A glyph drawn for the window's DPI: made again whenever the button is painted at another DPI.
    void SetGlyph(std::function<TBitmap(int dpi)> make);
    const TBitmap& Glyph() const;
    // Draws the glyph instead of the bitmap: the device context and the glyph's rectangle.
    std::function<void(HDC, const RECT&)> OnDrawGlyph;

    // What a mouse click does, for a program that presses the button itself.
    void Click();

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void EnabledChanged() override { Invalidate(); }

private:
    void Paint(HDC dc);
    bool Inside(LPARAM lp) const;

    mutable TBitmap FGlyph;
    std::function<TBitmap(int dpi)> FMakeGlyph;
    mutable int FGlyphDpi = 0;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    bool FDown = false;
    bool FFlat = false;
    bool FPressing = false;   // the mouse went down on the button and holds it
    bool FPressedIn = false;  // ... and is over it now
    bool FHot = false;
};
