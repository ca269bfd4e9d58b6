#include "controls/label/LabelW.h"

#include <oleacc.h>
#include <windowsx.h>

#include <cmath>
#include <utility>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "controls/base/VTableHandle.h"
#include "host/DataObject.h"
#include "host/Events.h"
#include "host/Form.h"

// Hears a font object's property changes (size, bold, ...) for the label that uses it.
class LabelFontSink final : public IPropertyNotifySink {
public:
    explicit LabelFontSink(LabelW& label) : label_(&label) {}

    void Connect(IFontDisp* font) {
        Disconnect();
        ComPtr<IConnectionPointContainer> container;
        if (!font ||
            FAILED(font->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) ||
            FAILED(container->FindConnectionPoint(IID_IPropertyNotifySink, point_.Put()))) {
            point_.Reset();
            return;
        }
        if (FAILED(point_->Advise(this, &cookie_))) point_.Reset();
    }
    void Disconnect() {
        if (point_) point_->Unadvise(cookie_);
        point_.Reset();
        cookie_ = 0;
    }
    // The label is going: nothing reaches it any more.
    void Detach() {
        Disconnect();
        label_ = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyNotifySink)) {
            *object = static_cast<IPropertyNotifySink*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = --refs_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override {
        if (label_) label_->FontChanged();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

private:
    ~LabelFontSink() = default;
    LONG refs_ = 1;
    LabelW* label_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

namespace {

constexpr OLE_COLOR kWindowText = 0x80000008;
constexpr OLE_COLOR kButtonText = 0x80000012;
constexpr OLE_COLOR kGrayText = 0x80000011;
constexpr COLORREF kFlatBorder = RGB(100, 100, 100);

// The border's thickness: what painting and sizing leave free around the text.
SIZE BorderSize(int32_t style) {
    switch (style) {
        case 1:
        case 2:
            return {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
        case 3:
            return {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
        case 4:
            return {GetSystemMetrics(SM_CXFIXEDFRAME), GetSystemMetrics(SM_CYFIXEDFRAME)};
        default:
            return {0, 0};
    }
}

// `value` when it is within lo..hi, else error 380.
int32_t Checked(int32_t value, int32_t lo, int32_t hi) {
    if (value < lo || value > hi) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    return value;
}

bool ValidPointer(int32_t pointer) {
    return (pointer >= 0 && pointer <= 16) || pointer == 99;
}

// Sets a flag for the lifetime of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

ComPtr<IFont> FontOf(IFontDisp* disp) {
    ComPtr<IFont> font;
    if (disp) disp->QueryInterface(IID_IFont, font.PutVoid());
    return font;
}

ComPtr<IFontDisp> FontFromVariant(const VARIANT& v) {
    ComPtr<IFontDisp> font;
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) {
        v.punkVal->QueryInterface(IID_IFontDisp, font.PutVoid());
    }
    return font;
}

ComPtr<IPictureDisp> PictureFromVariant(const VARIANT& v) {
    ComPtr<IPictureDisp> picture;
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) {
        v.punkVal->QueryInterface(IID_IPictureDisp, picture.PutVoid());
    }
    return picture;
}

// The host's access-key list for a caption: its one access key, or none.
std::wstring AccessKeyList(const std::wstring& caption) {
    const wchar_t key = Common::AccelChar(caption);
    return key ? std::wstring(1, key) : std::wstring();
}

}  // namespace

// --- life --------------------------------------------------------------------------------------

LabelW::LabelW()
    : TimerMouseTrack([this] { MouseTrackTick(); }, kMouseTrackInterval, false),
      fontSink_(ComPtr<LabelFontSink>::Attach(new LabelFontSink(*this))) {
    Common::ShellModAddRef();
}

LabelW::~LabelW() {
    fontSink_->Detach();
    Common::ShellModRelease();
}

void LabelW::Initialize() {
    // Only property browsing: the label never takes the focus, so no keyboard hooks.
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
}

void LabelW::Terminate() {
    TimerMouseTrack.SetEnabled(false);
    MouseOver = false;
    fontSink_->Disconnect();
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
}

void LabelW::LookUpDispIds() {
    ComPtr<IDispatch> self;
    DispIDMousePointer = DISPID_UNKNOWN;
    if (!Object() || FAILED(Object()->QueryInterface(IID_IDispatch, self.PutVoid()))) return;
    LPOLESTR name = const_cast<LPOLESTR>(L"MousePointer");
    DISPID id = DISPID_UNKNOWN;
    if (SUCCEEDED(self->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) {
        DispIDMousePointer = id;
    }
}

void LabelW::InitProperties() {
    Host::ControlSite& site = Site();
    DesignMode = !site.GetAmbient().UserMode();
    LookUpDispIds();
    ApplyFont(site.GetAmbient().Font().Get());
    PropMousePointer = 0;
    PropMouseIcon.Reset();
    PropMouseTrack = false;
    PropRightToLeft = site.GetAmbient().RightToLeft();
    PropRightToLeftMode = 1;
    if (PropRightToLeft) SetRightToLeft(true);
    PropAlignment = PropRightToLeft ? 1 : 0;
    PropBorderStyle = 0;
    PropCaption = site.GetAmbient().DisplayName();
    PropUseMnemonic = true;
    PropAutoSize = PropWordWrap = false;
    PropEllipsisFormat = PropVerticalAlignment = 0;
    ApplyAccessKeys();
}

void LabelW::ReadProperties(Host::PropertyStore& store) {
    Host::ControlSite& site = Site();
    DesignMode = !site.GetAmbient().UserMode();
    LookUpDispIds();
    ComPtr<IFontDisp> font = FontFromVariant(store.Read(L"Font").Get());
    ApplyFont(font ? font.Get() : site.GetAmbient().Font().Get());
    // Appearance resets ForeColor and the border: the stored values read after it win.
    SetAppearance(store.ReadInt32(L"Appearance", 1));
    SetBackColor(static_cast<OLE_COLOR>(store.ReadInt32(L"BackColor", 0x8000000F)));
    SetForeColor(static_cast<OLE_COLOR>(store.ReadInt32(L"ForeColor", kButtonText)));
    SetEnabled(store.ReadBool(L"Enabled", true));
    SetOLEDropMode(store.ReadInt32(L"OLEDropMode", 0));
    const int16_t pointer = store.ReadInt16(L"MousePointer", 0);
    if (!ValidPointer(pointer)) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropMousePointer = pointer;
    PropMouseIcon = PictureFromVariant(store.Read(L"MouseIcon").Get());
    ApplyMousePointer();
    PropMouseTrack = store.ReadBool(L"MouseTrack", false);
    PropRightToLeft = store.ReadBool(L"RightToLeft", false);
    PropRightToLeftMode = Checked(store.ReadInt32(L"RightToLeftMode", 1), 0, 4);
    if (PropRightToLeft) SetRightToLeft(true);
    PropAlignment = Checked(store.ReadInt32(L"Alignment", 0), 0, 2);
    PropBorderStyle = Checked(store.ReadInt32(L"BorderStyle", 0), 0, 4);
    SetBackStyle(store.ReadInt32(L"BackStyle", 1));
    PropCaption = Common::VarToStr(store.Read(L"Caption").Get());
    PropUseMnemonic = store.ReadBool(L"UseMnemonic", true);
    PropAutoSize = store.ReadBool(L"AutoSize", false);
    PropWordWrap = store.ReadBool(L"WordWrap", false);
    PropEllipsisFormat = Checked(store.ReadInt32(L"EllipsisFormat", 0), 0, 3);
    PropVerticalAlignment = Checked(store.ReadInt32(L"VerticalAlignment", 0), 0, 2);
    ApplyAccessKeys();
}

void LabelW::WriteProperties(Host::PropertyStore& store) {
    using Host::Variant;
    Host::ControlSite& site = Site();
    ComPtr<IFontDisp> container = site.GetAmbient().Font();
    if (!Common::FontsEqual(FontOf(PropFont.Get()).Get(), FontOf(container.Get()).Get())) {
        store.Write(L"Font", Variant::Object(PropFont.Get()));
    }
    store.Write(L"Appearance", Variant::Int32(site.Appearance()), Variant::Int32(1));
    store.Write(L"BackColor", Variant::Int32(static_cast<int32_t>(site.BackColor())),
                Variant::Int32(static_cast<int32_t>(0x8000000F)));
    store.Write(L"ForeColor", Variant::Int32(static_cast<int32_t>(site.ForeColor())),
                Variant::Int32(static_cast<int32_t>(kButtonText)));
    store.Write(L"Enabled", Variant::Bool(site.Enabled()), Variant::Bool(true));
    store.Write(L"OLEDropMode", Variant::Int32(site.OLEDropMode()), Variant::Int32(0));
    store.Write(L"MousePointer", Variant::Int16(PropMousePointer), Variant::Int16(0));
    store.Write(L"MouseIcon", Variant::Object(PropMouseIcon.Get()), Variant::Object(nullptr));
    store.Write(L"MouseTrack", Variant::Bool(PropMouseTrack), Variant::Bool(false));
    store.Write(L"RightToLeft", Variant::Bool(PropRightToLeft), Variant::Bool(false));
    store.Write(L"RightToLeftMode", Variant::Int32(PropRightToLeftMode), Variant::Int32(1));
    store.Write(L"Alignment", Variant::Int32(PropAlignment), Variant::Int32(0));
    store.Write(L"BorderStyle", Variant::Int32(PropBorderStyle), Variant::Int32(0));
    store.Write(L"BackStyle", Variant::Int32(site.BackStyle()), Variant::Int32(1));
    store.Write(L"Caption", Variant(Common::StrToVar(PropCaption).Get()), {});
    store.Write(L"UseMnemonic", Variant::Bool(PropUseMnemonic), Variant::Bool(true));
    store.Write(L"AutoSize", Variant::Bool(PropAutoSize), Variant::Bool(false));
    store.Write(L"WordWrap", Variant::Bool(PropWordWrap), Variant::Bool(false));
    store.Write(L"EllipsisFormat", Variant::Int32(PropEllipsisFormat), Variant::Int32(0));
    store.Write(L"VerticalAlignment", Variant::Int32(PropVerticalAlignment), Variant::Int32(0));
}

// --- properties ----------------------------------------------------------------------------------

void LabelW::ApplyFont(IFontDisp* font) {
    PropFont = ComPtr<IFontDisp>(font);
    fontSink_->Connect(font);
    Site().SetFont(font);
}

void LabelW::SetFont(IFontDisp* font) {
    ComPtr<IFontDisp> chosen(font);
    if (!chosen) chosen = Site().GetAmbient().Font();
    ApplyFont(chosen.Get());
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"Font");
}

void LabelW::FontChanged() {
    if (!Sited()) return;
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"Font");
}

int32_t LabelW::Appearance() const {
    return Site().Appearance();
}

void LabelW::SetAppearance(int32_t value) {
    Checked(value, 0, 1);
    Host::ControlSite& site = Site();
    site.SetAppearance(value);
    site.SetForeColor(value == 0 ? kWindowText : kButtonText);
    if (PropBorderStyle != 0) {
        const int32_t border = value == 1 ? 3 : 1;
        // The label sized to its text must make room for the new border too.
        if (border != PropBorderStyle) AutoSizePending = PropAutoSize;
        PropBorderStyle = border;
    }
    Redraw();
    site.PropertyChanged(L"Appearance");
}

OLE_COLOR LabelW::BackColor() const {
    return Site().BackColor();
}

void LabelW::SetBackColor(OLE_COLOR color) {
    Site().SetBackColor(color);
    Redraw();
    Site().PropertyChanged(L"BackColor");
}

OLE_COLOR LabelW::ForeColor() const {
    return Site().ForeColor();
}

void LabelW::SetForeColor(OLE_COLOR color) {
    Site().SetForeColor(color);
    Redraw();
    Site().PropertyChanged(L"ForeColor");
}

bool LabelW::Enabled() const {
    return !Sited() || Site().Enabled();
}

void LabelW::SetEnabled(bool enabled) {
    Site().SetEnabled(enabled);
    Site().PropertyChanged(L"Enabled");
}

int32_t LabelW::OLEDropMode() const {
    return Site().OLEDropMode();
}

void LabelW::SetOLEDropMode(int32_t mode) {
    Site().SetOLEDropMode(Checked(mode, 0, 1));
    Site().PropertyChanged(L"OLEDropMode");
}

void LabelW::SetMousePointer(int16_t pointer) {
    if (!ValidPointer(pointer)) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropMousePointer = pointer;
    ApplyMousePointer();
    Site().PropertyChanged(L"MousePointer");
}

void LabelW::SetMouseIcon(IPictureDisp* icon) {
    bool valid = true;
    if (icon) {
        ComPtr<IPicture> picture;
        OLE_HANDLE handle = 0;
        SHORT type = PICTYPE_NONE;
        valid = SUCCEEDED(icon->QueryInterface(IID_IPicture, picture.PutVoid())) &&
                SUCCEEDED(picture->get_Handle(&handle)) && SUCCEEDED(picture->get_Type(&type)) &&
                (handle == 0 || type == PICTYPE_ICON);
    }
    if (!valid) {
        if (DesignMode) {
            Common::ShowMessageBox(
                ControlErrors::StandardDescription(ControlErrors::kInvalidPropertyValue),
                MB_ICONERROR);
            return;
        }
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    PropMouseIcon = ComPtr<IPictureDisp>(icon);
    ApplyMousePointer();
    Site().PropertyChanged(L"MouseIcon");
}

void LabelW::SetMouseTrack(bool track) {
    PropMouseTrack = track;
    Site().PropertyChanged(L"MouseTrack");
}

void LabelW::SetRightToLeft(bool value) {
    Host::ControlSite& site = Site();
    PropRightToLeft = value;
    site.SetRightToLeft(value);
    Common::ResolveRightToLeft(PropRightToLeft, site.RightToLeft(), PropRightToLeftMode);
    Redraw();
    site.PropertyChanged(L"RightToLeft");
}

void LabelW::SetRightToLeftMode(int32_t mode) {
    PropRightToLeftMode = Checked(mode, 0, 4);
    SetRightToLeft(PropRightToLeft);
    Site().PropertyChanged(L"RightToLeftMode");
}

void LabelW::SetAlignment(int32_t value) {
    PropAlignment = Checked(value, 0, 2);
    Redraw();
    Site().PropertyChanged(L"Alignment");
}

void LabelW::SetBorderStyle(int32_t value) {
    PropBorderStyle = Checked(value, 0, 4);
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"BorderStyle");
}

int32_t LabelW::BackStyle() const {
    return Site().BackStyle();
}

void LabelW::SetBackStyle(int32_t style) {
    Site().SetBackStyle(Checked(style, 0, 1));
    Redraw();
    Site().PropertyChanged(L"BackStyle");
}

void LabelW::SetCaption(const std::wstring& caption) {
    if (caption == PropCaption) return;
    PropCaption = caption;
    if (PropUseMnemonic) ApplyAccessKeys();
    AutoSizePending = PropAutoSize;
    Redraw();
    Host::ControlSite& site = Site();
    site.PropertyChanged(L"Caption");
    try {
        site.GetExtender().SetDataChanged(true);
    } catch (const ControlError&) {
        // A container without data binding refuses it; nothing depends on it.
    }
    site.RaiseEvent(L"Change", kDispIdChange);
}

void LabelW::SetUseMnemonic(bool value) {
    PropUseMnemonic = value;
    ApplyAccessKeys();
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"UseMnemonic");
}

void LabelW::SetAutoSize(bool value) {
    PropAutoSize = value;
    AutoSizePending = value;
    Redraw();
    Site().PropertyChanged(L"AutoSize");
}

void LabelW::SetWordWrap(bool value) {
    PropWordWrap = value;
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"WordWrap");
}

void LabelW::SetEllipsisFormat(int32_t value) {
    PropEllipsisFormat = Checked(value, 0, 3);
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"EllipsisFormat");
}

void LabelW::SetVerticalAlignment(int32_t value) {
    PropVerticalAlignment = Checked(value, 0, 2);
    Redraw();
    Site().PropertyChanged(L"VerticalAlignment");
}

void LabelW::ApplyAccessKeys() {
    Site().SetAccessKeys(PropUseMnemonic ? AccessKeyList(PropCaption) : std::wstring());
}

void LabelW::ApplyMousePointer() {
    if (DesignMode) return;
    Host::ControlSite& site = Site();
    switch (PropMousePointer) {
        case 4:
        case 16: {
            // The hand and the arrow with a disc as custom icons over the shared system
            // cursors, which belong to the system and are never destroyed.
            HCURSOR cursor =
                LoadCursorW(nullptr, MAKEINTRESOURCEW(Common::MousePointerID(PropMousePointer)));
            ComPtr<IPictureDisp> icon;
            if (ComPtr<IPicture> picture = Common::PictureFromHandle(cursor, PICTYPE_ICON, false)) {
                picture->QueryInterface(IID_IPictureDisp, icon.PutVoid());
            }
            site.SetMouseIcon(icon.Get());
            site.SetMousePointer(99);
            break;
        }
        case 99:
            site.SetMouseIcon(PropMouseIcon.Get());
            site.SetMousePointer(99);
            break;
        default:
            site.SetMousePointer(PropMousePointer);
            break;
    }
}

// --- drawing -------------------------------------------------------------------------------------

UINT LabelW::TextFormat() const {
    UINT format = DT_NOCLIP;
    if (PropAlignment == 1) format |= DT_RIGHT;
    if (PropAlignment == 2) format |= DT_CENTER;
    if (PropRightToLeft) format |= DT_RTLREADING;
    if (!PropUseMnemonic) format |= DT_NOPREFIX;
    if (PropWordWrap) format |= DT_WORDBREAK;
    return format;
}

void LabelW::Redraw() {
    if (!AutoSizePending) {
        Site().Refresh();
        return;
    }
    // Cleared first: the move that sizing makes resizes the label through the host, which
    // redraws again and must not size a second time.
    AutoSizePending = false;
    WindowDC screen;
    if (!screen) return;
    UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
    if (!dc) return;
    UniqueFont font = Common::CreateGDIFont(FontOf(PropFont.Get()).Get());
    SelectedObject selected(dc.Get(), font.Get());
    AutoSizeTo(dc.Get());
}

void LabelW::AutoSizeTo(HDC dc) {
    Host::ControlSite& site = Site();
    const SIZE border = BorderSize(PropBorderStyle == 2 ? 1 : PropBorderStyle);
    RECT measured{0, 0, site.ScaleWidth(), site.ScaleHeight()};
    DrawTextW(dc, PropCaption.empty() ? L" " : PropCaption.c_str(), -1, &measured,
              TextFormat() | DT_CALCRECT);
    const int w = measured.right - measured.left + 2 * border.cx;
    const int h = measured.bottom - measured.top + 2 * border.cy;
    const double width = site.ScaleX(w, Units::Unit::Pixels, Units::Unit::ContainerSize);
    const double height = site.ScaleY(h, Units::Unit::Pixels, Units::Unit::ContainerSize);

    Host::Extender extender = site.GetExtender();
    const double right = extender.Left() + extender.Width();
    const double centreX = extender.Left() + extender.Width() / 2;
    const double bottom = extender.Top() + extender.Height();
    const double centreY = extender.Top() + extender.Height() / 2;
    extender.Move(extender.Left(), extender.Top(), width, height);

    // Keep the edge the text is aligned to where it was.
    FlagScope inAutoSize(InAutoSize);
    double left = extender.Left();
    if (PropAlignment == 1) left = right - extender.Width();
    if (PropAlignment == 2) left = centreX - extender.Width() / 2;
    if (left != extender.Left()) extender.SetLeft(left);
    double top = extender.Top();
    if (PropVerticalAlignment == 2) top = bottom - extender.Height();
    if (PropVerticalAlignment == 1) top = centreY - extender.Height() / 2;
    if (top != extender.Top()) extender.SetTop(top);
}

void LabelW::Paint(const Host::PaintSurface& surface) {
    if (InAutoSize) return;
    HDC dc = surface.hdc;
    RECT box{0, 0, surface.width, surface.height};
    const SIZE border = BorderSize(PropBorderStyle);
    switch (PropBorderStyle) {
        case 1:
            // A one-pixel outline whose far corner is (W - cx, H - cy).
            surface.DrawBox(0, 0, box.right - border.cx + 1, box.bottom - border.cy + 1,
                            kFlatBorder);
            break;
        case 2:
            DrawEdge(dc, &box, BDR_SUNKENOUTER, BF_RECT);
            break;
        case 3:
            DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
            break;
        case 4:
            DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
            break;
        default:
            break;
    }
    if (!Site().Enabled()) SetTextColor(dc, Common::WinColor(kGrayText));
    const UINT format = TextFormat();
    if (PropVerticalAlignment != 0) {
        RECT measured = box;
        DrawTextW(dc, PropCaption.empty() ? L" " : PropCaption.c_str(), -1, &measured,
                  format | DT_CALCRECT);
        const int free = (box.bottom - box.top) - 2 * border.cy - (measured.bottom - measured.top);
        // Centred: half the free space, an exact half going to the even neighbour.
        const long offset = PropVerticalAlignment == 1 ? std::lrint(free / 2.0) : free;
        if (offset > 0) box.top += static_cast<int>(offset);
    }
    if (PropCaption.empty()) return;
    RECT text{box.left + border.cx, box.top + border.cy, box.right - border.cx,
              box.bottom - border.cy};
    UINT ellipsis = 0;
    if (PropEllipsisFormat == 1) ellipsis = DT_END_ELLIPSIS;
    if (PropEllipsisFormat == 2) ellipsis = DT_PATH_ELLIPSIS;
    if (PropEllipsisFormat == 3) ellipsis = DT_WORD_ELLIPSIS;
    // The system may write up to four characters more than the caption when it shortens it.
    std::wstring buffer = PropCaption;
    buffer.append(4, L'\0');
    DrawTextW(dc, buffer.data(), -1, &text, format | ellipsis | DT_MODIFYSTRING);
    DisplayedCaptionBuffer.assign(buffer.c_str());
}

bool LabelW::HitTest(int, int) {
    return true;
}

// --- methods -------------------------------------------------------------------------------------

void LabelW::Refresh() {
    Redraw();
    // Paint now: the paints waiting for the container go out before this returns. A
    // WM_PAINT stays queued until its window validates itself, so a painter that never does
    // would keep the loop going for ever: it is bounded.
    HWND container = Site().ContainerHwnd();
    if (!container) return;
    MSG msg;
    for (int i = 0;
         i < kRefreshPaintLimit && PeekMessageW(&msg, container, WM_PAINT, WM_PAINT, PM_REMOVE);
         ++i) {
        DispatchMessageW(&msg);
    }
}

int32_t LabelW::OLEDrag() {
    return Site().OLEDrag();
}

void LabelW::Resize() {
    if (InResize) return;
    FlagScope inResize(InResize);
    if (Common::DPICorrectionFactor() != 1.0) {
        // A host that scales differently from the system settles the placement only after
        // a move.
        Host::ControlSite& site = Site();
        Host::Extender extender = site.GetExtender();
        const double left = extender.Left();
        const double top = extender.Top();
        extender.Move(left + site.ScaleX(1, Units::Unit::Pixels, Units::Unit::ContainerPosition),
                      top + site.ScaleY(1, Units::Unit::Pixels, Units::Unit::ContainerPosition));
        extender.Move(left, top);
    }
    Redraw();
}

// --- mouse ---------------------------------------------------------------------------------------

float LabelW::TwipsX(int pixels) const {
    return static_cast<float>(Site().ScaleX(pixels, Units::Unit::Pixels, Units::Unit::Twips));
}

float LabelW::TwipsY(int pixels) const {
    return static_cast<float>(Site().ScaleY(pixels, Units::Unit::Pixels, Units::Unit::Twips));
}

void LabelW::RaiseMouse(std::wstring_view name, DISPID id, int16_t button, int16_t shift, int x,
                        int y) {
    float tx = TwipsX(x);
    float ty = TwipsY(y);
    Site().RaiseEvent(name, id, Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
                      Host::EventArg::ByRef(tx), Host::EventArg::ByRef(ty));
}

void LabelW::MouseDown(int16_t button, int16_t shift, int x, int y) {
    RaiseMouse(L"MouseDown", Host::kDispIdMouseDown, button, shift, x, y);
}

void LabelW::MouseMove(int16_t button, int16_t shift, int x, int y) {
    if (PropMouseTrack) {
        if (!MouseOver) {
            MouseOver = true;
            Site().RaiseEvent(L"MouseEnter", kDispIdMouseEnter);
            LastMousePos = GetMessagePos();
            TimerMouseTrack.SetEnabled(true);
        } else {
            LastMousePos = GetMessagePos();
        }
    }
    RaiseMouse(L"MouseMove", Host::kDispIdMouseMove, button, shift, x, y);
}

void LabelW::MouseUp(int16_t button, int16_t shift, int x, int y) {
    RaiseMouse(L"MouseUp", Host::kDispIdMouseUp, button, shift, x, y);
}

void LabelW::Click() {
    Site().RaiseEvent(L"Click", Host::kDispIdClick);
}

void LabelW::DblClick() {
    Site().RaiseEvent(L"DblClick", Host::kDispIdDblClick);
}

long LabelW::AccessibleRole() const {
    return ROLE_SYSTEM_STATICTEXT;
}

std::wstring LabelW::AccessibleName() const {
    if (!PropUseMnemonic) return PropCaption;
    std::wstring name;
    for (size_t i = 0; i < PropCaption.size(); ++i) {
        // "&x" shows x underlined, "&&" one ampersand.
        if (PropCaption[i] == L'&' && i + 1 < PropCaption.size()) ++i;
        name += PropCaption[i];
    }
    return name;
}

bool LabelW::PointerOnLabel(DWORD messagePos) const {
    Host::ControlSite& site = Site();
    POINT pt{GET_X_LPARAM(messagePos), GET_Y_LPARAM(messagePos)};
    HWND container = site.ContainerHwnd();
    if (WindowFromPoint(pt) != container) return false;
    ScreenToClient(container, &pt);
    return site.Parent().WindowlessAt(pt) == &site;
}

void LabelW::MouseTrackTick() {
    if (!Sited() || !MouseOver) return;
    HWND container = Site().ContainerHwnd();
    // While the container holds the mouse (a button is down) the label is not left.
    if (GetCapture() == container) {
        LastMousePos = 0;
        return;
    }
    const DWORD pos = GetMessagePos();
    POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    if (WindowFromPoint(pt) == container) {
        // A position the label's own mouse messages did not report means it moved off the
        // label, unless it is on it all the same (the capture just ended over it).
        if (pos == LastMousePos) return;
        if (PointerOnLabel(pos)) {
            LastMousePos = pos;
            return;
        }
    }
    MouseOver = false;
    TimerMouseTrack.SetEnabled(false);
    Site().RaiseEvent(L"MouseLeave", kDispIdMouseLeave);
}

// --- OLE drag and drop ---------------------------------------------------------------------------

void LabelW::RaiseDrag(bool drop, IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                       float x, float y, int16_t state) {
    Host::ControlSite& site = Site();
    float cx =
        static_cast<float>(site.ScaleX(x, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    float cy =
        static_cast<float>(site.ScaleY(y, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    if (drop) {
        site.RaiseEvent(L"OLEDragDrop", kDispIdOLEDragDrop, Host::EventArg::Unknown(data),
                        Host::EventArg::ByRef(effect), Host::EventArg::ByRef(button),
                        Host::EventArg::ByRef(shift), Host::EventArg::ByRef(cx),
                        Host::EventArg::ByRef(cy));
    } else {
        site.RaiseEvent(L"OLEDragOver", kDispIdOLEDragOver, Host::EventArg::Unknown(data),
                        Host::EventArg::ByRef(effect), Host::EventArg::ByRef(button),
                        Host::EventArg::ByRef(shift), Host::EventArg::ByRef(cx),
                        Host::EventArg::ByRef(cy), Host::EventArg::ByRef(state));
    }
}

void LabelW::OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                         float y, int16_t state) {
    RaiseDrag(false, data, effect, button, shift, x, y, state);
}

void LabelW::OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                         float y) {
    RaiseDrag(true, data, effect, button, shift, x, y, 0);
}

void LabelW::OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) {
    Site().RaiseEvent(L"OLEStartDrag", kDispIdOLEStartDrag, Host::EventArg::Unknown(&data),
                      Host::EventArg::ByRef(allowedEffects));
}

void LabelW::OLESetData(Host::DataObject& data, int16_t& format) {
    Site().RaiseEvent(L"OLESetData", kDispIdOLESetData, Host::EventArg::Unknown(&data),
                      Host::EventArg::ByRef(format));
}

void LabelW::OLEGiveFeedback(int32_t& effect, bool& defaultCursors) {
    Site().RaiseEvent(L"OLEGiveFeedback", kDispIdOLEGiveFeedback, Host::EventArg::ByRef(effect),
                      Host::EventArg::ByRef(defaultCursors));
}

void LabelW::OLECompleteDrag(int32_t& effect) {
    Site().RaiseEvent(L"OLECompleteDrag", kDispIdOLECompleteDrag, Host::EventArg::ByRef(effect));
}

// --- property browsing and safety ------------------------------------------------------------

HRESULT LabelW::GetDisplayString(VARIANT_BOOL* Handled, DISPID DispID, BSTR* DisplayName) {
    *Handled = VARIANT_FALSE;
    if (DispID != DispIDMousePointer || DispID == DISPID_UNKNOWN) return S_OK;
    *DisplayName = SysAllocString(Common::PointerDisplayString(PropMousePointer).c_str());
    *Handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT LabelW::GetPredefinedStrings(VARIANT_BOOL* Handled, DISPID DispID, SAFEARRAY** StringsOut,
                                     SAFEARRAY** CookiesOut) {
    *Handled = VARIANT_FALSE;
    if (DispID != DispIDMousePointer || DispID == DISPID_UNKNOWN) return S_OK;
    std::vector<std::wstring> strings;
    std::vector<int32_t> cookies;
    Common::PointerPredefinedStrings(strings, cookies);
    SAFEARRAY* names = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(strings.size()));
    SAFEARRAY* values = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(cookies.size()));
    if (!names || !values) {
        if (names) SafeArrayDestroy(names);
        if (values) SafeArrayDestroy(values);
        return E_OUTOFMEMORY;
    }
    for (LONG i = 0; i < static_cast<LONG>(strings.size()); ++i) {
        BSTR s = SysAllocString(strings[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(names, &i, s);  // copies the string
        SysFreeString(s);
        LONG cookie = cookies[static_cast<size_t>(i)];
        SafeArrayPutElement(values, &i, &cookie);
    }
    if (*StringsOut) SafeArrayDestroy(*StringsOut);
    if (*CookiesOut) SafeArrayDestroy(*CookiesOut);
    *StringsOut = names;
    *CookiesOut = values;
    *Handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT LabelW::GetPredefinedValue(VARIANT_BOOL* Handled, DISPID DispID, LONG Cookie,
                                   VARIANT* Value) {
    *Handled = VARIANT_FALSE;
    if (DispID != DispIDMousePointer || DispID == DISPID_UNKNOWN) return S_OK;
    VariantInit(Value);
    Value->vt = VT_I4;
    Value->lVal = Cookie;
    *Handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT LabelW::GetInterfaceSafetyOptions(REFIID, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = *enabled = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    return S_OK;
}

HRESULT LabelW::SetInterfaceSafetyOptions(REFIID, DWORD, DWORD) {
    return S_OK;
}
