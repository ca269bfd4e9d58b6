#include "controls/buttons/ImageList.h"

#include <utility>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/ControlSite.h"
#include "host/DispatchObject.h"
#include "host/PropertyStore.h"

namespace {

constexpr DISPID kDispIdHImageList = 0x68030001;
constexpr DISPID kDispIdImageWidth = 0x68030002;
constexpr DISPID kDispIdImageHeight = 0x68030003;
constexpr DISPID kDispIdMaskColor = 0x68030004;
constexpr DISPID kDispIdUseMaskColor = 0x68030005;
constexpr DISPID kDispIdListImages = 0x68030006;

const std::wstring_view kListImagesArgs[] = {L"IndexOrKey"};
const Host::Member kMembers[] = {
    Host::ReadOnly<&ImageList::hImageList>(L"hImageList", kDispIdHImageList),
    Host::Property<&ImageList::ImageWidth, &ImageList::SetImageWidth>(L"ImageWidth",
                                                                      kDispIdImageWidth),
    Host::Property<&ImageList::ImageHeight, &ImageList::SetImageHeight>(L"ImageHeight",
                                                                        kDispIdImageHeight),
    Host::Property<&ImageList::MaskColor, &ImageList::SetMaskColor>(L"MaskColor", kDispIdMaskColor),
    Host::Property<&ImageList::UseMaskColor, &ImageList::SetUseMaskColor>(L"UseMaskColor",
                                                                          kDispIdUseMaskColor),
    Host::Method<&ImageList::ListImages>(L"ListImages", kDispIdListImages, kListImagesArgs),
};
constexpr Host::StoredKey kWidthKey = Host::Int32Key(L"ImageWidth", 0);
constexpr Host::StoredKey kHeightKey = Host::Int32Key(L"ImageHeight", 0);
constexpr Host::StoredKey kMaskColorKey = Host::ColorKey(L"MaskColor", 0xC0C0C0);
constexpr Host::StoredKey kUseMaskColorKey = Host::BoolKey(L"UseMaskColor", false);
constexpr Host::StoredKey kCountKey = Host::Int32Key(L"ListImageCount", 0);
// Then, per image n from 1: "ListImage<n>" (picture) and "ListImageKey<n>" (text).
const Host::StoredKey kKeys[] = {kWidthKey, kHeightKey, kMaskColorKey, kUseMaskColorKey, kCountKey};

std::wstring PictureKey(size_t n) {
    return L"ListImage" + std::to_wstring(n);
}
std::wstring TextKey(size_t n) {
    return L"ListImageKey" + std::to_wstring(n);
}

bool Omitted(const Host::Variant& v) {
    return v.IsEmpty() || (v.Type() == VT_ERROR && v.Get().scode == DISP_E_PARAMNOTFOUND);
}

ImageList& Alive(const std::weak_ptr<ImageList*>& self) {
    const auto held = self.lock();
    if (!held || !*held) ControlErrors::Raise(ControlErrors::kObjectNotSet);
    return **held;
}

ComPtr<IPictureDisp> PictureArg(const Host::Variant& v) {
    ComPtr<IPictureDisp> picture;
    const VARTYPE type = v.Type();
    if ((type == VT_DISPATCH || type == VT_UNKNOWN) && v.Get().punkVal) {
        if (FAILED(v.Get().punkVal->QueryInterface(IID_IPictureDisp, picture.PutVoid()))) {
            ControlErrors::Raise(ControlErrors::kTypeMismatch);
        }
    }
    return picture;
}

}  // namespace

ImageList::ImageList() : self_(std::make_shared<ImageList*>(this)) {}

ImageList::~ImageList() {
    *self_ = nullptr;
}

const Host::ControlDescription& ImageList::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, {}, kKeys};
    return description;
}

// ---- properties -------------------------------------------------------------------------------

void ImageList::SetImageWidth(int32_t width) {
    if (width < 0 || (!images_.empty() && width != width_)) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    width_ = width;
    if (list_ && width_ > 0 && height_ > 0) ImageList_SetIconSize(list_.Get(), width_, height_);
    Changed(L"ImageWidth");
}

void ImageList::SetImageHeight(int32_t height) {
    if (height < 0 || (!images_.empty() && height != height_)) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    height_ = height;
    if (list_ && width_ > 0 && height_ > 0) ImageList_SetIconSize(list_.Get(), width_, height_);
    Changed(L"ImageHeight");
}

void ImageList::SetMaskColor(OLE_COLOR color) {
    maskColor_ = color;
    if (useMaskColor_) RebuildList();
    Changed(L"MaskColor");
}

void ImageList::SetUseMaskColor(bool use) {
    const bool changed = use != useMaskColor_;
    useMaskColor_ = use;
    if (changed) RebuildList();
    Changed(L"UseMaskColor");
}

void ImageList::Changed(const wchar_t* property) {
    if (Sited()) Site().PropertyChanged(property);
}

// ---- images -------------------------------------------------------------------------------------

bool ImageList::AddToList(IPicture* picture) {
    OLE_HANDLE handle = 0;
    SHORT type = PICTYPE_NONE;
    OLE_XSIZE_HIMETRIC himetricWidth = 0;
    OLE_YSIZE_HIMETRIC himetricHeight = 0;
    if (!picture || FAILED(picture->get_Handle(&handle)) || !handle) return false;
    picture->get_Type(&type);
    picture->get_Width(&himetricWidth);
    picture->get_Height(&himetricHeight);
    if (!list_) {
        list_.Reset(ImageList_Create(width_, height_, ILC_COLOR24 | ILC_MASK, 4, 4));
        if (!list_) return false;
    }
    if (type == PICTYPE_ICON) {
        // OLE handles are 32-bit values; system handles widen by sign extension.
        return ImageList_AddIcon(list_.Get(), static_cast<HICON>(LongToHandle(handle))) >= 0;
    }
    WindowDC screen;
    UniqueMemoryDC memory(screen ? CreateCompatibleDC(screen.Get()) : nullptr);
    UniqueBitmap bitmap(screen ? CreateCompatibleBitmap(screen.Get(), width_, height_) : nullptr);
    if (!memory || !bitmap) return false;
    const COLORREF mask = Common::WinColor(maskColor_);
    {
        SelectedObject selected(memory.Get(), bitmap.Get());
        UniqueBrush back(CreateSolidBrush(useMaskColor_ ? mask : RGB(0, 0, 0)));
        RECT all{0, 0, width_, height_};
        FillRect(memory.Get(), &all, back.Get());
        // Pictures take their source rectangle upside down, in HIMETRIC.
        picture->Render(memory.Get(), 0, 0, width_, height_, 0, himetricHeight, himetricWidth,
                        -himetricHeight, nullptr);
    }
    // The list copies the pixels; the bitmap goes with this scope.
    const int added = useMaskColor_ ? ImageList_AddMasked(list_.Get(), bitmap.Get(), mask)
                                    : ImageList_Add(list_.Get(), bitmap.Get(), nullptr);
    return added >= 0;
}

void ImageList::RebuildList() {
    if (!list_) return;
    // The handle stays: whoever was given it keeps a working list.
    ImageList_Remove(list_.Get(), -1);
    if (width_ > 0 && height_ > 0) ImageList_SetIconSize(list_.Get(), width_, height_);
    for (const Image& image : images_)
        AddToList(image.picture.Get());
}

size_t ImageList::PositionOf(const Host::Variant& indexOrKey) const {
    if (IsNumberType(indexOrKey.Type())) {
        const int32_t index = indexOrKey.ToInt32();
        if (index < 1 || index > Count()) ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
        return static_cast<size_t>(index - 1);
    }
    const std::wstring key = indexOrKey.ToString();
    for (size_t i = 0; i < images_.size(); ++i) {
        if (!key.empty() && images_[i].key == key) return i;
    }
    ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
}

size_t ImageList::PositionOfId(uint64_t id) const {
    for (size_t i = 0; i < images_.size(); ++i) {
        if (images_[i].id == id) return i;
    }
    ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
}

Host::Variant ImageList::Add(std::optional<Host::Variant> index, std::optional<Host::Variant> key,
                             ComPtr<IPictureDisp> picture) {
    size_t position = images_.size();
    if (index && !Omitted(*index)) {
        const int32_t i = index->ToInt32();
        if (i < 1 || i > Count() + 1) ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
        position = static_cast<size_t>(i - 1);
    }
    std::wstring text;
    if (key && !Omitted(*key)) {
        text = key->ToString();
        double number = 0;
        // A key that reads as a number would be taken as a position when looked up.
        if (IsNumberType(key->Type()) || SUCCEEDED(VarR8FromStr(const_cast<OLECHAR*>(text.c_str()),
                                                                LOCALE_USER_DEFAULT, 0, &number))) {
            ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
        }
        for (const Image& image : images_) {
            if (!text.empty() && image.key == text) {
                ControlErrors::Raise(457,
                                     L"This key is already associated with an element of this "
                                     L"collection");
            }
        }
    }
    ComPtr<IPicture> source;
    if (picture) picture->QueryInterface(IID_IPicture, source.PutVoid());
    ComPtr<IPicture> copy = Common::CopyPicture(source.Get());
    if (!copy) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    if (width_ == 0 || height_ == 0) {
        OLE_XSIZE_HIMETRIC w = 0;
        OLE_YSIZE_HIMETRIC h = 0;
        copy->get_Width(&w);
        copy->get_Height(&h);
        if (width_ == 0) width_ = Common::HimetricToPixelX(w);
        if (height_ == 0) height_ = Common::HimetricToPixelY(h);
        if (list_) ImageList_SetIconSize(list_.Get(), width_, height_);
    }
    if (!AddToList(copy.Get())) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    const uint64_t id = nextId_++;
    images_.insert(images_.begin() + static_cast<std::ptrdiff_t>(position),
                   Image{id, std::move(text), std::move(copy)});
    if (position + 1 != images_.size()) RebuildList();  // the system list only appends
    Changed(L"ListImages");
    return ImageObject(id);
}

Host::Variant ImageList::Item(const Host::Variant& indexOrKey) {
    return ImageObject(images_[PositionOf(indexOrKey)].id);
}

void ImageList::Remove(const Host::Variant& indexOrKey) {
    const size_t position = PositionOf(indexOrKey);
    images_.erase(images_.begin() + static_cast<std::ptrdiff_t>(position));
    if (list_) ImageList_Remove(list_.Get(), static_cast<int>(position));
    Changed(L"ListImages");
}

void ImageList::Clear() {
    images_.clear();
    if (list_) ImageList_Remove(list_.Get(), -1);
    Changed(L"ListImages");
}

std::wstring ImageList::KeyOf(int32_t index) const {
    return images_[PositionOf(Host::Variant::Int32(index))].key;
}

ComPtr<IPictureDisp> ImageList::PictureOf(int32_t index) const {
    ComPtr<IPictureDisp> picture;
    images_[PositionOf(Host::Variant::Int32(index))].picture->QueryInterface(IID_IPictureDisp,
                                                                             picture.PutVoid());
    return picture;
}

Host::Variant ImageList::ImageObject(uint64_t id) {
    const std::weak_ptr<ImageList*> self = self_;
    using Member = Host::DispatchObject::Member;
    auto object = Host::DispatchObject::Create(
        L"ListImage",
        {
            Member{L"Index",
                   [self, id] {
                       return Host::Variant::Int32(
                           static_cast<int32_t>(Alive(self).PositionOfId(id) + 1));
                   }},
            Member{L"Key",
                   [self, id] {
                       ImageList& list = Alive(self);
                       return Host::Variant::String(list.images_[list.PositionOfId(id)].key);
                   }},
            Member{L"Picture",
                   [self, id] {
                       ImageList& list = Alive(self);
                       const auto index = static_cast<int32_t>(list.PositionOfId(id) + 1);
                       auto picture = list.PictureOf(index);
                       ComPtr<IDispatch> dispatch;
                       if (picture) picture->QueryInterface(IID_IDispatch, dispatch.PutVoid());
                       return Host::Variant::Object(dispatch.Get());
                   }},
        });
    return Host::Variant::Object(object.Get());
}

Host::Variant ImageList::Collection() {
    const std::weak_ptr<ImageList*> self = self_;
    using Member = Host::DispatchObject::Member;
    auto arg = [](std::span<const Host::Variant> args, size_t i) {
        return i < args.size() ? args[i] : Host::Variant();
    };
    auto object =
        Host::DispatchObject::Create(L"ListImages",
                                     {
                                         Member{L"Count",
                                                [self] {
                                                    return Host::Variant::Int32(
                                                        Alive(self).Count());
                                                }},
                                         Member{L"Add",
                                                {},
                                                {},
                                                [self, arg](std::span<const Host::Variant> args) {
                                                    if (args.size() > 3)
                                                        ControlErrors::Raise(
                                                            ControlErrors::kInvalidProcedureCall);
                                                    return Alive(self).Add(
                                                        arg(args, 0), arg(args, 1),
                                                        PictureArg(arg(args, 2)));
                                                }},
                                         Member{L"Item",
                                                {},
                                                {},
                                                [self, arg](std::span<const Host::Variant> args) {
                                                    if (args.size() != 1)
                                                        ControlErrors::Raise(
                                                            ControlErrors::kInvalidProcedureCall);
                                                    return Alive(self).Item(args[0]);
                                                }},
                                         Member{L"Remove",
                                                {},
                                                {},
                                                [self](std::span<const Host::Variant> args) {
                                                    if (args.size() != 1)
                                                        ControlErrors::Raise(
                                                            ControlErrors::kInvalidProcedureCall);
                                                    Alive(self).Remove(args[0]);
                                                    return Host::Variant();
                                                }},
                                         Member{L"Clear",
                                                {},
                                                {},
                                                [self](std::span<const Host::Variant>) {
                                                    Alive(self).Clear();
                                                    return Host::Variant();
                                                }},
                                     });
    return Host::Variant::Object(object.Get());
}

Host::Variant ImageList::ListImages(std::optional<Host::Variant> indexOrKey) {
    if (indexOrKey && !Omitted(*indexOrKey)) return Item(*indexOrKey);
    return Collection();
}

// ---- host ---------------------------------------------------------------------------------------

void ImageList::InitProperties() {}

void ImageList::ReadProperties(Host::PropertyStore& store) {
    width_ = kWidthKey.ReadInt32(store);
    height_ = kHeightKey.ReadInt32(store);
    if (width_ < 0 || height_ < 0) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    maskColor_ = static_cast<OLE_COLOR>(kMaskColorKey.ReadInt32(store));
    useMaskColor_ = kUseMaskColorKey.ReadBool(store);
    const int32_t count = kCountKey.ReadInt32(store);
    for (int32_t n = 1; n <= count; ++n) {
        const Host::Variant picture = store.Read(PictureKey(static_cast<size_t>(n)));
        const std::wstring key =
            Common::VarToStr(store.Read(TextKey(static_cast<size_t>(n))).Get());
        Add(std::nullopt,
            key.empty() ? std::nullopt : std::optional<Host::Variant>(Host::Variant::String(key)),
            PictureArg(picture));
    }
}

void ImageList::WriteProperties(Host::PropertyStore& store) {
    kWidthKey.Write(store, Host::Variant::Int32(width_));
    kHeightKey.Write(store, Host::Variant::Int32(height_));
    kMaskColorKey.Write(store, Host::Variant::Int32(static_cast<int32_t>(maskColor_)));
    kUseMaskColorKey.Write(store, Host::Variant::Bool(useMaskColor_));
    kCountKey.Write(store, Host::Variant::Int32(Count()));
    for (size_t n = 1; n <= images_.size(); ++n) {
        const Image& image = images_[n - 1];
        ComPtr<IDispatch> picture;
        image.picture->QueryInterface(IID_IDispatch, picture.PutVoid());
        store.Write(PictureKey(n), Host::Variant::Object(picture.Get()));
        store.Write(TextKey(n), Common::StrToVar(image.key), Common::StrToVar(L""));
    }
}

void ImageList::Terminate() {
    *self_ = nullptr;
}

void ImageList::Paint(const Host::PaintSurface& surface) {
    // Seen only while designing: at run time the object has no look.
    if (Site().GetAmbient().UserMode()) return;
    surface.DrawBox(0, 0, surface.width, surface.height, GetSysColor(COLOR_BTNFACE), true);
    surface.DrawBox(0, 0, surface.width, surface.height, GetSysColor(COLOR_BTNSHADOW));
}

bool ImageList::HitTest(int x, int y) {
    (void)x, (void)y;
    return !Site().GetAmbient().UserMode();
}
