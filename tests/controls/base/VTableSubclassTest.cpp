// Function-table patching on the function table of a real OLE font object.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "tests/support/ControlErrors.h"
#include "controls/base/VTableSubclass.h"

namespace {

// IFont: entry 4 get_Name, 5 put_Name, 6 get_Size.
constexpr int kGetName = 4;
constexpr int kPutName = 5;
constexpr int kGetSize = 6;

HRESULT STDMETHODCALLTYPE FakeGetName(IFont*, BSTR* name) {
    *name = SysAllocString(L"Patched");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE OtherGetName(IFont*, BSTR* name) {
    *name = SysAllocString(L"Other");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeGetSize(IFont*, CY* size) {
    size->int64 = 123 * 10000;
    return S_OK;
}

uintptr_t Fn(HRESULT(STDMETHODCALLTYPE* f)(IFont*, BSTR*)) {
    return reinterpret_cast<uintptr_t>(f);
}
uintptr_t Fn(HRESULT(STDMETHODCALLTYPE* f)(IFont*, CY*)) {
    return reinterpret_cast<uintptr_t>(f);
}

ComPtr<IFont> NewFont(const wchar_t* name, int points) {
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.lpstrName = const_cast<LPOLESTR>(name);
    desc.cySize.int64 = static_cast<LONGLONG>(points) * 10000;
    desc.sWeight = FW_NORMAL;
    ComPtr<IFont> font;
    EXPECT_EQ(OleCreateFontIndirect(&desc, IID_IFont, font.PutVoid()), S_OK);
    return font;
}

std::wstring NameOf(IFont* font) {
    BSTR name = nullptr;
    if (FAILED(font->get_Name(&name))) return L"<failed>";
    std::wstring result(name ? name : L"");
    SysFreeString(name);
    return result;
}

long long SizeOf(IFont* font) {
    CY size{};
    font->get_Size(&size);
    return size.int64 / 10000;
}

uintptr_t* TableOf(IUnknown* object) {
    return *reinterpret_cast<uintptr_t**>(object);
}

std::vector<uintptr_t> Snapshot(IUnknown* object, int count) {
    const uintptr_t* table = TableOf(object);
    return std::vector<uintptr_t>(table, table + count);
}

}  // namespace

TEST(VTableSubclass, PatchesTwoEntriesTogglesOneAndRestoresEveryOriginalPointer) {
    ComPtr<IFont> a = NewFont(L"Arial", 9);
    ComPtr<IFont> b = NewFont(L"Tahoma", 12);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(TableOf(a.Get()), TableOf(b.Get())) << "fonts share one function table";
    const std::vector<uintptr_t> original = Snapshot(a.Get(), 12);
    // What the fonts answer unpatched (the system may substitute a face or round a size).
    const std::wstring nameA = NameOf(a.Get());
    const long long sizeA = SizeOf(a.Get()), sizeB = SizeOf(b.Get());
    ASSERT_NE(sizeA, sizeB);

    VTableSubclass patch;
    EXPECT_EQ(patch.TableAddress(), nullptr);
    const uintptr_t entries[] = {Fn(FakeGetName), 0, Fn(FakeGetSize)};
    patch.Subclass(a.Get(), kGetName, kGetSize, entries);
    EXPECT_EQ(patch.TableAddress(), TableOf(a.Get()));
    EXPECT_TRUE(patch.SubclassEntry(kGetName));
    EXPECT_FALSE(patch.SubclassEntry(kPutName));
    EXPECT_TRUE(patch.SubclassEntry(kGetSize));
    EXPECT_EQ(TableOf(a.Get())[kGetName - 1], Fn(FakeGetName));
    EXPECT_EQ(TableOf(a.Get())[kPutName - 1], original[kPutName - 1]);

    // Both objects of the class see the patch.
    EXPECT_EQ(NameOf(a.Get()), L"Patched");
    EXPECT_EQ(NameOf(b.Get()), L"Patched");
    EXPECT_EQ(SizeOf(a.Get()), 123);
    EXPECT_EQ(SizeOf(b.Get()), 123);

    // Off: the former function answers again; on: the replacement is back.
    patch.SubclassEntry(kGetSize, false);
    EXPECT_FALSE(patch.SubclassEntry(kGetSize));
    EXPECT_EQ(SizeOf(a.Get()), sizeA);
    EXPECT_EQ(SizeOf(b.Get()), sizeB);
    EXPECT_EQ(NameOf(b.Get()), L"Patched");
    patch.SubclassEntry(kGetSize, false);  // no change
    EXPECT_EQ(SizeOf(a.Get()), sizeA);
    patch.SubclassEntry(kGetSize, true);
    EXPECT_TRUE(patch.SubclassEntry(kGetSize));
    EXPECT_EQ(SizeOf(a.Get()), 123);
    // An entry without a replacement cannot be switched on.
    patch.SubclassEntry(kPutName, true);
    EXPECT_FALSE(patch.SubclassEntry(kPutName));
    EXPECT_EQ(TableOf(a.Get())[kPutName - 1], original[kPutName - 1]);

    patch.UnSubclass();
    EXPECT_EQ(patch.TableAddress(), nullptr);
    EXPECT_EQ(Snapshot(a.Get(), 12), original);
    EXPECT_EQ(NameOf(a.Get()), nameA);
    EXPECT_EQ(SizeOf(b.Get()), sizeB);
    patch.UnSubclass();                   // nothing left to do
    patch.SubclassEntry(kGetName, true);  // nothing is patched: stays so
    EXPECT_EQ(Snapshot(a.Get(), 12), original);
}

TEST(VTableSubclass, ReSubclassPutsItsEntriesBackOnTopOfAnotherPatch) {
    ComPtr<IFont> font = NewFont(L"Arial", 10);
    const std::vector<uintptr_t> original = Snapshot(font.Get(), 12);
    const std::wstring name = NameOf(font.Get());
    VTableSubclass ours, theirs;
    const uintptr_t ourEntries[] = {Fn(FakeGetName), 0, Fn(FakeGetSize)};
    ours.Subclass(font.Get(), kGetName, kGetSize, ourEntries);
    const uintptr_t theirEntries[] = {Fn(OtherGetName)};
    theirs.Subclass(font.Get(), kGetName, kGetName, theirEntries);
    EXPECT_EQ(NameOf(font.Get()), L"Other");

    ours.ReSubclass();
    EXPECT_EQ(NameOf(font.Get()), L"Patched");
    EXPECT_EQ(SizeOf(font.Get()), 123);
    EXPECT_TRUE(ours.SubclassEntry(kGetName));

    theirs.UnSubclass();
    EXPECT_EQ(NameOf(font.Get()), L"Patched");
    ours.UnSubclass();
    EXPECT_EQ(Snapshot(font.Get(), 12), original);
    EXPECT_EQ(NameOf(font.Get()), name);
    ours.ReSubclass();  // nothing patched: nothing to do
    EXPECT_EQ(Snapshot(font.Get(), 12), original);
}

TEST(VTableSubclass, EndingTheObjectRestoresTheTableAndPatchingAnewRestoresFirst) {
    ComPtr<IFont> font = NewFont(L"Arial", 10);
    const std::vector<uintptr_t> original = Snapshot(font.Get(), 12);
    const std::wstring name = NameOf(font.Get());
    const long long size = SizeOf(font.Get());
    {
        VTableSubclass patch;
        const uintptr_t first[] = {Fn(FakeGetName)};
        patch.Subclass(font.Get(), kGetName, kGetName, first);
        // Patching again (another range) first puts back what the first call replaced.
        const uintptr_t second[] = {Fn(FakeGetSize)};
        patch.Subclass(font.Get(), kGetSize, kGetSize, second);
        EXPECT_EQ(NameOf(font.Get()), name);
        EXPECT_EQ(SizeOf(font.Get()), 123);
        EXPECT_EQ(patch.AddRef(), 1);
        EXPECT_EQ(patch.AddRef(), 2);
        EXPECT_EQ(patch.Release(), 1);
        EXPECT_EQ(patch.RefCount(), 1);  // the count does not touch the patch
        EXPECT_EQ(SizeOf(font.Get()), 123);
    }
    EXPECT_EQ(Snapshot(font.Get(), 12), original);
    EXPECT_EQ(SizeOf(font.Get()), size);
}

TEST(VTableSubclass, NeverWritesBeyondTheLastEntryAndRejectsBadArguments) {
    ComPtr<IFont> font = NewFont(L"Arial", 10);
    const std::vector<uintptr_t> original = Snapshot(font.Get(), 12);
    VTableSubclass patch;
    // More replacements than entries: the extra one is ignored.
    const uintptr_t entries[] = {Fn(FakeGetName), Fn(FakeGetSize), Fn(FakeGetSize)};
    patch.Subclass(font.Get(), kGetName, kGetName, entries);
    EXPECT_EQ(TableOf(font.Get())[kGetName - 1], Fn(FakeGetName));
    EXPECT_EQ(TableOf(font.Get())[kPutName - 1], original[kPutName - 1]);
    EXPECT_EQ(TableOf(font.Get())[kGetSize - 1], original[kGetSize - 1]);

    EXPECT_EQ(testsupport::ErrorNumberOf([&] { (void)patch.SubclassEntry(kPutName); }), 9);
    EXPECT_EQ(testsupport::ErrorNumberOf([&] { patch.SubclassEntry(0, true); }), 9);
    EXPECT_EQ(testsupport::ErrorNumberOf([&] { patch.Subclass(nullptr, 4, 5, entries); }), 5);
    EXPECT_EQ(testsupport::ErrorNumberOf([&] { patch.Subclass(font.Get(), 0, 5, entries); }), 5);
    EXPECT_EQ(testsupport::ErrorNumberOf([&] { patch.Subclass(font.Get(), 5, 4, entries); }), 5);
    // A refused call leaves the patch as it was.
    EXPECT_TRUE(patch.SubclassEntry(kGetName));
    patch.UnSubclass();
    EXPECT_EQ(Snapshot(font.Get(), 12), original);
}
