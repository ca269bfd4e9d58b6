// The resources the program carries, read back through the module the setup uses.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "controls/base/ComPtr.h"
#include "setup/MErrors.h"
#include "setup/MResources.h"
#include "tests/support/Process.h"

namespace {

std::string Bytes(const std::vector<uint8_t>& data) {
    return std::string(data.begin(), data.end());
}

std::string EmbeddedFile(const wchar_t* name) {
    return testsupport::ReadFileBytes(testsupport::ExeFolder() + L"payload\\" + name);
}

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

}  // namespace

TEST(Resources, PayloadsAreTheEmbeddedFilesByteForByteInLanguage1049) {
    const std::string workbook = EmbeddedFile(L"workbook.bin");
    const std::string help = EmbeddedFile(L"help.bin");
    ASSERT_FALSE(workbook.empty());
    ASSERT_FALSE(help.empty());
    EXPECT_EQ(Bytes(MResources::LoadCustom(MResources::kWorkbook)), workbook);
    EXPECT_EQ(Bytes(MResources::LoadCustom(MResources::kHelpFile)), help);

    HMODULE module = GetModuleHandleW(nullptr);
    EXPECT_TRUE(FindResourceExW(module, L"CUSTOM", MAKEINTRESOURCEW(101), kRussian));
    EXPECT_TRUE(FindResourceExW(module, L"CUSTOM", MAKEINTRESOURCEW(102), kRussian));
    // String 150 lives in block 150 / 16 + 1.
    EXPECT_TRUE(FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(150 / 16 + 1), kRussian));
    EXPECT_TRUE(FindResourceExW(module, RT_GROUP_ICON, MAKEINTRESOURCEW(1), kRussian));
}

TEST(Resources, TheLicenceIsTheWholeRtfInCodePage1251) {
    const std::string file = EmbeddedFile(L"licence.rtf");
    ASSERT_FALSE(file.empty());
    std::wstring expected(file.size(), L'\0');
    expected.resize(MultiByteToWideChar(1251, 0, file.data(), static_cast<int>(file.size()),
                                        expected.data(), static_cast<int>(expected.size())));
    const std::wstring licence = MResources::LoadText(MResources::kLicence);
    EXPECT_EQ(licence.size(), expected.size());
    EXPECT_TRUE(licence == expected);  // not printed: tens of thousands of characters
    EXPECT_EQ(licence.rfind(L"{\\rtf1", 0), 0u);
    EXPECT_NE(licence.find(L"\\ansicpg1251"), std::wstring::npos);
    // Several pages: far beyond what a fixed-size buffer of LoadString would have kept.
    EXPECT_GT(licence.size(), 20000u);
}

TEST(Resources, TheWorkbookIsACompoundDocumentAndTheIconIs32By32) {
    const std::vector<uint8_t> workbook = MResources::LoadCustom(MResources::kWorkbook);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, workbook.size());
    ASSERT_TRUE(memory);
    memcpy(GlobalLock(memory), workbook.data(), workbook.size());
    GlobalUnlock(memory);
    ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(memory, TRUE, bytes.Put()), S_OK);
    EXPECT_EQ(StgIsStorageILockBytes(bytes.Get()), S_OK);
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                         nullptr, 0, storage.Put()),
              S_OK);
    ComPtr<IEnumSTATSTG> elements;
    ASSERT_EQ(storage->EnumElements(0, nullptr, 0, elements.Put()), S_OK);
    STATSTG stat{};
    ULONG fetched = 0;
    ASSERT_EQ(elements->Next(1, &stat, &fetched), S_OK);
    EXPECT_GT(stat.cbSize.QuadPart, 0u);
    CoTaskMemFree(stat.pwcsName);

    HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 32);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST(Resources, AMissingResourceIsAWin32ErrorWithTheSystemsText) {
    try {
        MResources::LoadCustom(999);
        FAIL() << "no error";
    } catch (const ControlError& error) {
        EXPECT_EQ(error.Number(), ERROR_RESOURCE_NAME_NOT_FOUND);
        EXPECT_EQ(error.Description(), MErrors::SystemMessage(ERROR_RESOURCE_NAME_NOT_FOUND));
        EXPECT_FALSE(error.Description().empty());
    }
    EXPECT_THROW(MResources::LoadText(9999), ControlError);
}
