// The standard controls: label, button, check box, radio button, group box, edit and drop-down list.
#pragma once

#include <string>
#include <string_view>

#include "ui/Controls.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };

struct TLabelArgs {
    WERB_CONTROL_ARGS
    std::string Caption;
    bool AutoSize = true;
    bool WordWrap = false;
    TAlignment Alignment = taLeftJustify;
    TTextLayout Layout = tlTop;
    int MaxWidth = 0;
    TColor Color = clDefault;  // clDefault: the parent's colour
};

// Our own window class painting its text with DrawTextW; measuring uses the same flags as painting.
// AutoSize without WordWrap: the width of the longest line (capped at MaxWidth) and the height of all
// lines; with WordWrap: the width stays and the height fits the wrapped text. CR LF breaks are kept.
class TLabel : public TControl {
public:
    TLabel(TControl& parent, const TLabelArgs& args = {});
    ~TLabel() override;

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool autoSize);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool wrap);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment a);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout l);
    TColor Color() const { return FColor; }
    void SetColor(TColor c);
    bool Transparent() const { return FColor == clDefault; }
    void SetTransparent(bool t) { SetColor(t ? clDefault : BackgroundColor()); }

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void FontApplied() override;
    void EnabledChanged() override { Invalidate(); }

private:
    void AdjustBounds();
    UINT DrawFlags() const;
    void Paint(HDC dc);

    bool FAutoSize = true;
    bool FWordWrap = false;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    TColor FColor = clDefault;
    struct {
        int Left = 0, Right = 0;  // physical pixels of ink beyond the measured text, on each side
    } FInk;
};

struct TButtonArgs {
    WERB_CONTROL_ARGS
    std::string Caption;
    int ModalResult = mrNone;
    bool Default = false;
    bool Cancel = false;
};

class TButton : public TControl {
public:
    TButton(TControl& parent, const TButtonArgs& args = {});
    ~TButton() override;

    // Presses the button for real (BM_CLICK) when it and its panels are visible and enabled.
    void Click();
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int r) { FModalResult = r; }
    bool Default() const { return FDefault; }
    void SetDefault(bool d);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool c) { FCancel = c; }

    // The width in design pixels that shows the caption whole: its ink and the button's frame and margins.
    int CaptionWidth() const;

    // For the form: a press that came through the dialog keys, and the default-button frame.
    void DoClick();
    void SetDefaultLook(bool isDefault);
    int Id() const;

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool Command(WORD code) override;
    void EnabledChanged() override;

private:
    int FModalResult = mrNone;
    bool FDefault = false;
    bool FCancel = false;
};

struct TCheckBoxArgs {
    WERB_CONTROL_ARGS
    std::string Caption;
    bool Checked = false;
};

// OnClick fires when the user toggles the box and when Checked changes from code, as in Delphi.
class TCheckBox : public TControl {
public:
    TCheckBox(TControl& parent, const TCheckBoxArgs& args = {});
    ~TCheckBox() override;
    bool Checked() const;
    void SetChecked(bool checked);

protected:
    bool Command(WORD code) override;
};

struct TRadioButtonArgs {
    WERB_CONTROL_ARGS
    std::string Caption;
    bool Checked = false;
};

// The radio buttons of one parent exclude each other. OnClick fires when the button becomes checked,
// by the user or from code; unchecking fires nothing.
class TRadioButton : public TControl {
public:
    TRadioButton(TControl& parent, const TRadioButtonArgs& args = {});
    ~TRadioButton() override;
    bool Checked() const;
    void SetChecked(bool checked);

protected:
    bool Command(WORD code) override;
};

struct TGroupBoxArgs {
    WERB_CONTROL_ARGS
    std::string Caption;
};

class TGroupBox : public TControl {
public:
    TGroupBox(TControl& parent, const TGroupBoxArgs& args = {});
    ~TGroupBox() override;

protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

struct TEditArgs {
    WERB_CONTROL_ARGS
    std::string Text;
    bool ReadOnly = false;
    int MaxLength = 0;  // 0: no limit of our own
};

// A one-line edit field. OnChange follows every change of the text, by the user or from code.
class TEdit : public TControl {
public:
    TEdit(TControl& parent, const TEditArgs& args = {});
    ~TEdit() override;

    std::string Text() const { return Caption(); }
    void SetText(std::string_view utf8) { SetCaption(utf8); }
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    void SelectAll();

    std::function<void()> OnChange;

protected:
    bool Command(WORD code) override;
};

struct TComboBoxArgs {
    WERB_CONTROL_ARGS
    int DropDownCount = 8;
};

// A drop-down list (no edit field). Setting ItemIndex from code fires nothing; OnChange follows the user.
class TComboBox : public TControl {
public:
    TComboBox(TControl& parent, const TComboBoxArgs& args = {});
    ~TComboBox() override;

    // The items, as Delphi's Items: cmb.Items.Add("D:\\").
    class TItems {
    public:
        explicit TItems(TComboBox& owner) : FOwner(owner) {}
        int Add(std::string_view text);
        void Clear();
        int Count() const;
        std::string operator[](int index) const;

    private:
        TComboBox& FOwner;
    };
    TItems Items{*this};

    int ItemIndex() const;
    void SetItemIndex(int index);
    // The text of the selected item, empty when none is.
    std::string Text() const;

    std::function<void()> OnChange;

protected:
    bool Command(WORD code) override;
    int WindowHeightFor(int designTop, int designHeight) const override;

private:
    int FDropDownCount = 8;
};
