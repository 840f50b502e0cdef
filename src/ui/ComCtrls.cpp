// Image list, tree view, rich edit and gauge over the common controls and Msftedit.
#include "ui/ComCtrls.h"

#include <richedit.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "ui/SystemLibrary.h"
#include "ui/Unicode.h"

// ---- TImageList ----

TImageList::TImageList(int width, int height, int capacity)
    : FHandle(ImageList_Create(width, height, ILC_COLOR32, capacity, 4))
{
    RequireWin32(FHandle != nullptr, "ImageList_Create");
}

TImageList::~TImageList()
{
    ImageList_Destroy(FHandle);
}

int TImageList::Add(const TBitmap& image)
{
    const int index = ImageList_Add(FHandle, image.Handle(), nullptr);
    VerifyWin32(index >= 0, "ImageList_Add");
    return index;
}

int TImageList::Count() const
{
    return ImageList_GetImageCount(FHandle);
}

// ---- TTreeNode ----

TVITEMW TTreeNode::Get(UINT mask) const
{
    TVITEMW it{};
    it.mask = mask | TVIF_HANDLE;
    it.hItem = FItem;
    if (*this) SendMessageW(FOwner->Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return it;
}

void TTreeNode::Set(TVITEMW it)
{
    if (!*this) return;
    it.mask |= TVIF_HANDLE;
    it.hItem = FItem;
    VerifyWin32(SendMessageW(FOwner->Handle(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it)) != FALSE,
                "TVM_SETITEMW");
}

std::string TTreeNode::Text() const
{
    if (!*this) return {};
    wchar_t buf[1024] = {};
    TVITEMW it{};
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = FItem;
    it.pszText = buf;
    it.cchTextMax = static_cast<int>(std::size(buf));
    if (!SendMessageW(FOwner->Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return {};
    return Narrow(it.pszText ? it.pszText : L"");
}

void TTreeNode::SetText(std::string_view utf8)
{
    std::wstring text = Widen(utf8);
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.pszText = text.data();
    Set(it);
}

int TTreeNode::ImageIndex() const
{
    return Get(TVIF_IMAGE).iImage;
}

void TTreeNode::SetImageIndex(int i)
{
    TVITEMW it{};
    it.mask = TVIF_IMAGE;
    it.iImage = i;
    Set(it);
}

int TTreeNode::SelectedIndex() const
{
    return Get(TVIF_SELECTEDIMAGE).iSelectedImage;
}

void TTreeNode::SetSelectedIndex(int i)
{
    TVITEMW it{};
    it.mask = TVIF_SELECTEDIMAGE;
    it.iSelectedImage = i;
    Set(it);
}

void* TTreeNode::Data() const
{
    return reinterpret_cast<void*>(Get(TVIF_PARAM).lParam);
}

void TTreeNode::SetData(void* data)
{
    TVITEMW it{};
    it.mask = TVIF_PARAM;
    it.lParam = reinterpret_cast<LPARAM>(data);
    Set(it);
}

bool TTreeNode::HasChildren() const
{
    return Get(TVIF_CHILDREN).cChildren != 0;
}

void TTreeNode::SetHasChildren(bool has)
{
    TVITEMW it{};
    it.mask = TVIF_CHILDREN;
    it.cChildren = has ? 1 : 0;
    Set(it);
}

namespace {

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT code)
{
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

} // namespace

TTreeNode TTreeNode::Parent() const
{
    if (!*this) return {};
    HTREEITEM p = NextItem(FOwner->Handle(), FItem, TVGN_PARENT);
    return p ? TTreeNode(FOwner, p) : TTreeNode();
}

TTreeNode TTreeNode::GetFirstChild() const
{
    if (!*this) return {};
    HTREEITEM c = NextItem(FOwner->Handle(), FItem, TVGN_CHILD);
    return c ? TTreeNode(FOwner, c) : TTreeNode();
}

TTreeNode TTreeNode::GetNextSibling() const
{
    if (!*this) return {};
    HTREEITEM n = NextItem(FOwner->Handle(), FItem, TVGN_NEXT);
    return n ? TTreeNode(FOwner, n) : TTreeNode();
}

int TTreeNode::Count() const
{
    int n = 0;
    for (TTreeNode c = GetFirstChild(); c; c = c.GetNextSibling()) ++n;
    return n;
}

bool TTreeNode::Expanded() const
{
    if (!*this) return false;
    const LRESULT state =
        SendMessageW(FOwner->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(FItem), TVIS_EXPANDED);
    return (state & TVIS_EXPANDED) != 0;
}

void TTreeNode::Expand(bool recurse)
{
    if (!*this) return;
    if (!Expanded()) {
        if (!FOwner->CanExpand(*this)) return;
        // TVM_EXPAND sends TVN_ITEMEXPANDING the first time; OnExpanding was asked above, not again.
        FOwner->FManualExpand = true;
        SendMessageW(FOwner->Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(FItem));
        FOwner->FManualExpand = false;
    }
    if (recurse)
        for (TTreeNode c = GetFirstChild(); c; c = c.GetNextSibling()) c.Expand(true);
}

void TTreeNode::Collapse()
{
    if (!*this) return;
    FOwner->FManualExpand = true;
    SendMessageW(FOwner->Handle(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(FItem));
    FOwner->FManualExpand = false;
}

void TTreeNode::Delete()
{
    if (!*this) return;
    SendMessageW(FOwner->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(FItem));
    FItem = nullptr;
}

void TTreeNode::DeleteChildren()
{
    for (TTreeNode c = GetFirstChild(); c; c = GetFirstChild()) c.Delete();
}

bool TTreeNode::Selected() const
{
    return *this && NextItem(FOwner->Handle(), nullptr, TVGN_CARET) == FItem;
}

void TTreeNode::MakeVisible()
{
    if (*this) SendMessageW(FOwner->Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(FItem));
}

// ---- TTreeView ----

TTreeView::TTreeView(TControl& parent, const TTreeViewArgs& a) : TControl(&parent)
{
    DWORD style = WS_TABSTOP;
    if (a.ShowButtons) style |= TVS_HASBUTTONS;
    if (a.ShowLines) style |= TVS_HASLINES;
    if (a.ShowRoot) style |= TVS_LINESATROOT;
    if (!a.ReadOnly) style |= TVS_EDITLABELS;
    if (!a.HideSelection) style |= TVS_SHOWSELALWAYS;
    CreateChild(WC_TREEVIEWW, style, WS_EX_CLIENTEDGE, {}, CommonArgs(a), false);
    if (a.Indent > 0) SendMessageW(FHandle, TVM_SETINDENT, static_cast<WPARAM>(Scale(a.Indent)), 0);
}

TTreeView::~TTreeView()
{
    DestroyHandle();
}

void TTreeView::SetImages(TImageList& images)
{
    SendMessageW(FHandle, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images.Handle()));
}

TTreeNode TTreeView::Add(TTreeNode parent, std::string_view text, int imageIndex, int selectedIndex, void* data)
{
    std::wstring w = Widen(text);
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent ? parent.ItemId() : TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.pszText = w.data();
    ins.item.iImage = imageIndex < 0 ? 0 : imageIndex;
    ins.item.iSelectedImage = selectedIndex < 0 ? ins.item.iImage : selectedIndex;
    ins.item.lParam = reinterpret_cast<LPARAM>(data);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(FHandle, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    RequireWin32(item != nullptr, "TVM_INSERTITEMW");
    return TTreeNode(this, item);
}

void TTreeView::Clear()
{
    SendMessageW(FHandle, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

int TTreeView::Count() const
{
    return static_cast<int>(SendMessageW(FHandle, TVM_GETCOUNT, 0, 0));
}

TTreeNode TTreeView::GetFirstNode() const
{
    HTREEITEM root = NextItem(FHandle, nullptr, TVGN_ROOT);
    return root ? TTreeNode(const_cast<TTreeView*>(this), root) : TTreeNode();
}

TTreeNode TTreeView::Selected() const
{
    HTREEITEM sel = NextItem(FHandle, nullptr, TVGN_CARET);
    return sel ? TTreeNode(const_cast<TTreeView*>(this), sel) : TTreeNode();
}

void TTreeView::SetSelected(TTreeNode node)
{
    SendMessageW(FHandle, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node.ItemId()));
}

bool TTreeView::CanExpand(TTreeNode node)
{
    bool allow = true;
    if (OnExpanding) Fire([&] { OnExpanding(node, allow); });
    return allow;
}

bool TTreeView::Notify(NMHDR* nm, LRESULT& result)
{
    switch (nm->code) {
    case TVN_SELCHANGEDW:
    case TVN_SELCHANGEDA: {
        const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(nm);
        const TTreeNode node(this, tv->itemNew.hItem);
        if (OnChange) Fire([&] { OnChange(node); });
        result = 0;
        return true;
    }
    case TVN_ITEMEXPANDINGW:
    case TVN_ITEMEXPANDINGA: {
        const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(nm);
        const TTreeNode node(this, tv->itemNew.hItem);
        bool allow = true;
        if (!FManualExpand) {
            if (tv->action & TVE_EXPAND) {
                allow = CanExpand(node);
            } else if ((tv->action & TVE_COLLAPSE) && OnCollapsing) {
                Fire([&] { OnCollapsing(node, allow); });
            }
        }
        result = allow ? FALSE : TRUE;
        return true;
    }
    default:
        return false;
    }
}

// ---- TRichEdit ----

namespace {

// The rich-edit library stays loaded for the life of the process: its window class must outlive every
// rich-edit window, and the process ends soon after the last one.
HMODULE Msftedit()
{
    static const HMODULE module = [] {
        return LoadSystemLibrary(L"Msftedit.dll");
    }();
    return module;
}

struct TStreamSource {
    const BYTE* Data;
    size_t Size;
    size_t Pos;
};

DWORD CALLBACK ReadChunk(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got)
{
    auto* src = reinterpret_cast<TStreamSource*>(cookie);
    const size_t n = std::min(static_cast<size_t>(std::max<LONG>(wanted, 0)), src->Size - src->Pos);
    std::memcpy(buffer, src->Data + src->Pos, n);
    src->Pos += n;
    *got = static_cast<LONG>(n);
    return 0;
}

// One design pixel is 1/96 inch, 15 twips.
CHARFORMAT2W FormatOf(const TFont& font)
{
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_FACE | CFM_CHARSET | CFM_SIZE | CFM_BOLD;
    cf.yHeight = std::abs(font.Height()) * 15;
    cf.bCharSet = font.Charset();
    cf.dwEffects = (font.Style() & fsBold) ? CFE_BOLD : 0;
    const std::wstring face = Widen(font.Name());
    const size_t n = std::min(face.size(), static_cast<size_t>(LF_FACESIZE - 1));
    std::copy_n(face.begin(), n, cf.szFaceName);
    cf.szFaceName[n] = L'\0';
    return cf;
}

TTextAttributes AttributesOf(HWND edit, WPARAM which)
{
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    SendMessageW(edit, EM_GETCHARFORMAT, which, reinterpret_cast<LPARAM>(&cf));
    TTextAttributes a;
    a.Name = Narrow(cf.szFaceName);
    a.Charset = cf.bCharSet;
    a.Height = -static_cast<int>(cf.yHeight / 15);
    a.Bold = (cf.dwEffects & CFE_BOLD) != 0;
    return a;
}

} // namespace

bool TRichEdit::Available()
{
    return Msftedit() != nullptr;
}

TRichEdit::TRichEdit(TControl& parent, const TRichEditArgs& a) : TControl(&parent)
{
    RequireWin32(Msftedit() != nullptr, "LoadLibraryExW(Msftedit.dll)");
    DWORD style = WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
    if (a.ScrollVertical) style |= WS_VSCROLL;
    if (a.ReadOnly) style |= ES_READONLY;
    if (!a.WordWrap) style |= WS_HSCROLL | ES_AUTOHSCROLL;
    CreateChild(MSFTEDIT_CLASS, style, WS_EX_CLIENTEDGE, {}, CommonArgs(a), false);
    // The default limit is 32767 characters; a licence can be longer.
    SendMessageW(FHandle, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SendMessageW(FHandle, EM_SETTARGETDEVICE, 0, a.WordWrap ? 0 : 1);
}

TRichEdit::~TRichEdit()
{
    DestroyHandle();
}

void TRichEdit::SetText(std::string_view utf8)
{
    const std::wstring text = Widen(utf8);
    TStreamSource src{reinterpret_cast<const BYTE*>(text.data()), text.size() * sizeof(wchar_t), 0};
    EDITSTREAM es{};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(&src);
    es.pfnCallback = ReadChunk;
    // SF_TEXT: a text that begins with "{\rtf" is shown as it is, never parsed.
    SendMessageW(FHandle, EM_STREAMIN, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&es));
    VerifyWin32(es.dwError == 0, "EM_STREAMIN");
}

std::string TRichEdit::Text() const
{
    GETTEXTLENGTHEX len{GTL_USECRLF | GTL_NUMCHARS | GTL_PRECISE, 1200};
    const LRESULT n = SendMessageW(FHandle, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&len), 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;
    const LRESULT got =
        SendMessageW(FHandle, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, n)));
    return Narrow(text);
}

bool TRichEdit::ReadOnly() const
{
    return (GetWindowLongW(FHandle, GWL_STYLE) & ES_READONLY) != 0;
}

void TRichEdit::SetReadOnly(bool readOnly)
{
    SendMessageW(FHandle, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void TRichEdit::SetDefaultAttributes(const TFont& font)
{
    CHARFORMAT2W cf = FormatOf(font);
    VerifyWin32(SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf)) != 0,
                "EM_SETCHARFORMAT(default)");
}

void TRichEdit::SetSelectionAttributes(const TFont& font)
{
    CHARFORMAT2W cf = FormatOf(font);
    VerifyWin32(SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)) != 0,
                "EM_SETCHARFORMAT(selection)");
}

TTextAttributes TRichEdit::DefaultAttributes() const
{
    return AttributesOf(FHandle, SCF_DEFAULT);
}

TTextAttributes TRichEdit::SelectionAttributes() const
{
    return AttributesOf(FHandle, SCF_SELECTION);
}

void TRichEdit::SelectAll()
{
    CHARRANGE all{0, -1};
    SendMessageW(FHandle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
}

void TRichEdit::Clear()
{
    SendMessageW(FHandle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
}

void TRichEdit::BeginUpdate()
{
    if (FUpdateCount++ == 0) SendMessageW(FHandle, WM_SETREDRAW, FALSE, 0);
}

void TRichEdit::EndUpdate()
{
    if (FUpdateCount == 0 || --FUpdateCount > 0) return;
    SendMessageW(FHandle, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FHandle, nullptr, TRUE);
}

void TRichEdit::SetSelText(std::string_view utf8)
{
    const std::wstring text = Widen(utf8);
    SendMessageW(FHandle, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

int TRichEdit::SelStart() const
{
    CHARRANGE sel{};
    SendMessageW(FHandle, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    return sel.cpMin;
}

void TRichEdit::SetSelStart(int position)
{
    CHARRANGE sel{position, position};
    SendMessageW(FHandle, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&sel));
    SendMessageW(FHandle, EM_SCROLLCARET, 0, 0);
}

void TRichEdit::SetSelectionCharset(BYTE charset)
{
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_CHARSET;
    cf.bCharSet = charset;
    VerifyWin32(SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)) != 0,
                "EM_SETCHARFORMAT(selection charset)");
}

void TRichEdit::TypeChar(wchar_t c)
{
    SendMessageW(FHandle, WM_CHAR, c, 1);
}

// ---- TGauge ----

TGauge::TGauge(TControl& parent, const TGaugeArgs& a) : TControl(&parent)
{
    CreateChild(PROGRESS_CLASSW, PBS_SMOOTH, 0, {}, CommonArgs(a), false);
    FMin = a.MinValue;
    FMax = a.MaxValue;
    SendMessageW(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
    SetProgress(a.Progress);
}

TGauge::~TGauge()
{
    DestroyHandle();
}

int TGauge::MinValue() const
{
    return FMin;
}

int TGauge::MaxValue() const
{
    return FMax;
}

int TGauge::Progress() const
{
    return FProgress;
}

void TGauge::SetRange(int min, int max)
{
    // The control has had this range since it was made or last set: a caller that sets it with every item
    // would repaint the bar for each.
    if (min == FMin && max == FMax) return;
    FMin = min;
    FMax = max;
    SendMessageW(FHandle, PBM_SETRANGE32, static_cast<WPARAM>(FMin), static_cast<LPARAM>(FMax));
    FShownStep = -1;
    SetProgress(FProgress);
}

void TGauge::SetMinValue(int v)
{
    SetRange(v, FMax);
}

void TGauge::SetMaxValue(int v)
{
    SetRange(FMin, v);
}

void TGauge::SetProgress(int v)
{
    // The control keeps its position inside the range, and so does Progress().
    FProgress = FMax > FMin ? std::clamp(v, FMin, FMax) : FMin;
    // A copy sets the position once per block, thousands of times: the control is told only when the bar
    // would look different (it moves by a pixel of its width), because every PBM_SETPOS repaints it.
    RECT r{};
    GetClientRect(FHandle, &r);
    const std::int64_t pixels = std::max<std::int64_t>(r.right - r.left, 1);
    const std::int64_t span = static_cast<std::int64_t>(FMax) - FMin;
    const std::int64_t step = span > 0 ? (static_cast<std::int64_t>(FProgress) - FMin) * pixels / span : 0;
    if (step == FShownStep) return;
    FShownStep = step;
    SendMessageW(FHandle, PBM_SETPOS, static_cast<WPARAM>(FProgress), 0);
}
