// ImageList: a library object holding images of one size for the buttons (and any control
// that takes a system image list). Invisible at run time; while designing it shows as a
// small framed box.
//
// Images are added from pictures (each kept as an independent copy) and can be found by
// position (1-based) or by key. The system image list (hImageList) keeps its handle for the
// object's life, so a button that was given it keeps working while images come and go.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "host/ControlDescription.h"
#include "host/HostedControl.h"
#include "host/Variant.h"

// An image list handle as automation reads it: 32 bits on every architecture, like window
// handles (buttons of this library take the full handle from the object itself).
template <>
struct Host::VarType<HIMAGELIST> {
    static constexpr VARTYPE kType = VT_I4;
    static HIMAGELIST From(const VARIANT& v) {
        return reinterpret_cast<HIMAGELIST>(static_cast<INT_PTR>(v.lVal));
    }
    static void To(HIMAGELIST value, VARIANT& out) {
        out.vt = VT_I4;
        out.lVal = static_cast<LONG>(reinterpret_cast<INT_PTR>(value));
    }
};

class ImageList : public Host::HostedControl {
public:
    static constexpr wchar_t kTypeName[] = L"ImageList";

    ImageList();
    ~ImageList() override;

    // The system image list; null until the first image is added.
    HIMAGELIST hImageList() const { return list_.Get(); }
    // Pixels; 0 until the first image sets them. Error 380 for a negative size, or for a
    // change while the list holds images.
    int32_t ImageWidth() const { return width_; }
    void SetImageWidth(int32_t width);
    int32_t ImageHeight() const { return height_; }
    void SetImageHeight(int32_t height);
    // Bitmaps added while UseMaskColor is on take MaskColor as transparent; changing either
    // makes the images again from their pictures.
    OLE_COLOR MaskColor() const { return maskColor_; }
    void SetMaskColor(OLE_COLOR color);
    bool UseMaskColor() const { return useMaskColor_; }
    void SetUseMaskColor(bool use);

    // ListImages: the collection (Count, Add, Remove, Clear, Item); ListImages(IndexOrKey)
    // one image (Index, Key, Picture).
    Host::Variant ListImages(std::optional<Host::Variant> indexOrKey);

    // The collection's members, for C++ callers. Index is 1-based; a key is any text that no
    // other image has (a numeric text is no key: it would read as a position). Add inserts
    // before `index` (at the end without one) and returns the new image. Error 9 for an index
    // or key that names no image, 457 for a key already in use, 5 for an unusable key, 380
    // for no picture or one that cannot be drawn into the list.
    int32_t Count() const { return static_cast<int32_t>(images_.size()); }
    Host::Variant Add(std::optional<Host::Variant> index, std::optional<Host::Variant> key,
                      ComPtr<IPictureDisp> picture);
    Host::Variant Item(const Host::Variant& indexOrKey);
    void Remove(const Host::Variant& indexOrKey);
    void Clear();
    std::wstring KeyOf(int32_t index) const;
    ComPtr<IPictureDisp> PictureOf(int32_t index) const;

    // --- host ----------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    Host::SiteKind Kind() const override { return Host::SiteKind::Windowless; }
    bool CanGetFocus() const override { return false; }
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Terminate() override;
    void Paint(const Host::PaintSurface& surface) override;
    bool HitTest(int x, int y) override;

private:
    struct Image {
        uint64_t id;  // stable while positions move
        std::wstring key;
        ComPtr<IPicture> picture;
    };

    size_t PositionOf(const Host::Variant& indexOrKey) const;  // 0-based; error 9
    size_t PositionOfId(uint64_t id) const;                    // error 9 once removed
    Host::Variant ImageObject(uint64_t id);
    Host::Variant Collection();
    // Draws a picture into the system list at `position` (appended when it is the count).
    bool AddToList(IPicture* picture);
    void RebuildList();
    void Changed(const wchar_t* property);

    std::vector<Image> images_;
    uint64_t nextId_ = 1;
    UniqueImageList list_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    OLE_COLOR maskColor_ = 0xC0C0C0;
    bool useMaskColor_ = false;
    // What the collection and image objects reach; cleared when this object goes, so that a
    // script holding one gets an error instead of a dangling object.
    std::shared_ptr<ImageList*> self_;
};
