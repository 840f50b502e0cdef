// The common controls: image list, tree view, rich edit (Msftedit) and gauge (32-bit progress bar).
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ui/Controls.h"

// Owns an HIMAGELIST of 32-bit images; Add copies the bitmap.
class TImageList {
public:
    TImageList(int width, int height, int capacity = 4);
    ~TImageList();
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;

    int Add(const TBitmap& image);  // the new image's index
    int Count() const;
    HIMAGELIST Handle() const { return FHandle; }

private:
    HIMAGELIST FHandle = nullptr;
};

class TTreeView;

// A node as a small value: the tree and the item. A null node (no item) tests false.
class TTreeNode {
public:
    TTreeNode() = default;
    TTreeNode(TTreeView* owner, HTREEITEM item) : FOwner(owner), FItem(item) {}

    explicit operator bool() const { return FOwner && FItem; }
    bool operator==(const TTreeNode& o) const { return FItem == o.FItem; }
    HTREEITEM ItemId() const { return FItem; }

    std::string Text() const;
    void SetText(std::string_view utf8);
    int ImageIndex() const;
    void SetImageIndex(int i);
    int SelectedIndex() const;
    void SetSelectedIndex(int i);
    void* Data() const;
    void SetData(void* data);
    // Shows the expand button even before children are added (for filling on demand).
    bool HasChildren() const;
    void SetHasChildren(bool has);

    TTreeNode Parent() const;
    TTreeNode GetFirstChild() const;
    TTreeNode GetNextSibling() const;
    int Count() const;  // direct children
    bool Expanded() const;
    // Asks OnExpanding first, once, as a user's click does.
    void Expand(bool recurse = false);
    void Collapse();
    void Delete();
    void DeleteChildren();
    bool Selected() const;
    void MakeVisible();

private:
    TVITEMW Get(UINT mask) const;
    void Set(TVITEMW item);

    TTreeView* FOwner = nullptr;
    HTREEITEM FItem = nullptr;
};

struct TTreeViewArgs {
    WERB_CONTROL_ARGS
    bool ShowButtons = true;
    bool ShowLines = true;
    bool ShowRoot = true;
    bool ReadOnly = true;
    bool HideSelection = true;
    int Indent = 0;  // 0: the control's default
};

class TTreeView : public TControl {
public:
    TTreeView(TControl& parent, const TTreeViewArgs& args = {});
    ~TTreeView() override;

    void SetImages(TImageList& images);
    // Adds a node as the last child of parent (a null parent: a top-level node).
    TTreeNode Add(TTreeNode parent, std::string_view text, int imageIndex = -1, int selectedIndex = -1,
                  void* data = nullptr);
    void Clear();
    int Count() const;  // all nodes
    TTreeNode GetFirstNode() const;
    TTreeNode Selected() const;
    void SetSelected(TTreeNode node);

    std::function<void(TTreeNode)> OnChange;
    std::function<void(TTreeNode, bool& allowExpansion)> OnExpanding;
    std::function<void(TTreeNode, bool& allowCollapse)> OnCollapsing;

protected:
    bool Notify(NMHDR* nm, LRESULT& result) override;

private:
    friend class TTreeNode;
    bool CanExpand(TTreeNode node);
    bool FManualExpand = false;  // our own TVM_EXPAND: OnExpanding was asked already
};

struct TRichEditArgs {
    WERB_CONTROL_ARGS
    bool ReadOnly = false;
    bool ScrollVertical = true;
    bool WordWrap = true;
};

// The attributes of rich-edit text that the installer sets and reads back.
struct TTextAttributes {
    std::string Name;
    BYTE Charset = DEFAULT_CHARSET;
    int Height = 0;  // Delphi height: negative design pixels
    bool Bold = false;
};

// Msftedit's RICHEDIT50W, loaded at run time from the system folder. Text goes in as plain text, never RTF.
class TRichEdit : public TControl {
public:
    TRichEdit(TControl& parent, const TRichEditArgs& args = {});
    ~TRichEdit() override;

    void SetText(std::string_view utf8);
    std::string Text() const;  // line breaks as CR LF
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    // Face, character set, height and weight of the default text and of the selection (EM_SETCHARFORMAT).
    void SetDefaultAttributes(const TFont& font);
    void SetSelectionAttributes(const TFont& font);
    TTextAttributes DefaultAttributes() const;
    TTextAttributes SelectionAttributes() const;
    void SelectAll();

    void Clear();
    // Suspends repainting while the text is built; nested pairs count, the last EndUpdate repaints.
    void BeginUpdate();
    void EndUpdate();
    // Replaces the selection (or inserts at the caret) with text, which takes the selection's attributes.
    void SetSelText(std::string_view utf8);
    // The caret as a character position; setting it empties the selection and scrolls the caret into view.
    int SelStart() const;
    void SetSelStart(int position);
    // The character set alone of the selection's attributes (what is typed or inserted next).
    void SetSelectionCharset(BYTE charset);
    // One character delivered as a typed one (WM_CHAR, sent): a read-only control ignores it.
    void TypeChar(wchar_t c);

    // True when Msftedit.dll could be loaded (the constructor throws otherwise).
    static bool Available();

private:
    int FUpdateCount = 0;
};

struct TGaugeArgs {
    WERB_CONTROL_ARGS
    int MinValue = 0;
    int MaxValue = 100;
    int Progress = 0;
};

// A progress bar with a 32-bit range (PBM_SETRANGE32).
class TGauge : public TControl {
public:
    TGauge(TControl& parent, const TGaugeArgs& args = {});
    ~TGauge() override;

    int MinValue() const;
    int MaxValue() const;
    int Progress() const;
    void SetMinValue(int v);
    void SetMaxValue(int v);
    void SetProgress(int v);

private:
    void SetRange(int min, int max);

    int FMin = 0;
    int FMax = 100;
    int FProgress = 0;
    std::int64_t FShownStep = -1; // the pixel of the bar the control last showed
};
