// Streaming a rich edit window's content to and from strings and files: conversions, the text
// limit around a load, byte-order mark and RTF detection, and files replaced only when the
// write succeeded.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <functional>
#include <vector>

#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "controls/richtext/RichTextBoxBase.h"
#include "tests/support/ControlErrors.h"

using namespace RichTextBoxBase;

namespace {

class RichEditWindow {
public:
    explicit RichEditWindow(DWORD style = ES_MULTILINE) {
        held_ = InitRichTextBox();
        hwnd_ = CreateWindowExW(0, RichEditClass(), L"", WS_POPUP | style, 0, 0, 300, 200, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~RichEditWindow() {
        DestroyWindow(hwnd_);
        if (held_) ReleaseRichTextBox();
    }
    HWND Get() const { return hwnd_; }

private:
    bool held_ = false;
    HWND hwnd_ = nullptr;
};

std::wstring PlainText(HWND hwnd) {
    return StreamStringOut(hwnd, SF_TEXT | SF_UNICODE);
}

// A folder of its own under the temporary folder, removed with what it holds.
class Folder {
public:
    Folder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"rtbstream" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~Folder() { Remove(L"\\\\?\\" + path_); }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    static void Remove(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring full = folder + L"\\" + name;
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    Remove(full);
                } else {
                    DeleteFileW(full.c_str());
                }
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring path_;
};

void WriteBytes(const std::wstring& name, const std::string& bytes) {
    UniqueFile file(
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadBytes(const std::wstring& name) {
    UniqueFile file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    std::string bytes(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

// A failure unless `call` raises error 75, as every refused file does.
void ExpectFileRefused(const std::function<void()>& call) {
    testsupport::ExpectControlError(75, L"The specified file name cannot be accessed or is invalid",
                                    call);
}

// Records the text-limit and stream messages reaching the window, ahead of its own procedure.
struct Recorder {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data) {
        auto* log = reinterpret_cast<std::vector<std::pair<UINT, LPARAM>>*>(data);
        if (msg == EM_EXLIMITTEXT) log->emplace_back(msg, lParam);
        if (msg == EM_STREAMIN) log->emplace_back(msg, static_cast<LPARAM>(wParam));
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
};

}  // namespace

TEST(RichTextStream, StringsKeepTheirCharacters) {
    RichEditWindow rich;
    ASSERT_NE(rich.Get(), nullptr);
    // Beyond ASCII in an RTF string arrives as the character itself.
    StreamStringIn(rich.Get(), L"{\\rtf1\\ansi Привет, мир\\par}", SF_RTF, 0);
    EXPECT_EQ(PlainText(rich.Get()).substr(0, 11), L"Привет, мир");
    EXPECT_EQ(StreamStringOut(rich.Get(), SF_RTF).rfind(L"{\\rtf", 0), 0u);
    // The selection alone, out and in.
    CHARRANGE range{0, 6};
    SendMessageW(rich.Get(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(StreamStringOut(rich.Get(), SF_TEXT | SF_UNICODE | SFF_SELECTION), L"Привет");
    StreamStringIn(rich.Get(), L"Hello", SF_TEXT | SF_UNICODE | SFF_SELECTION, 0);
    EXPECT_EQ(PlainText(rich.Get()).substr(0, 10), L"Hello, мир");
    // ANSI text travels through the code page.
    StreamStringIn(rich.Get(), L"plain bytes", SF_TEXT, 0);
    EXPECT_EQ(StreamStringOut(rich.Get(), SF_TEXT), L"plain bytes");

    // A character outside the basic plane survives a plain-text window.
    RichEditWindow plain;
    SendMessageW(plain.Get(), EM_SETTEXTMODE, TM_PLAINTEXT, 0);
    const std::wstring face = L"smile \U0001F600 end";
    StreamStringIn(plain.Get(), face, SF_TEXT | SF_UNICODE, 0);
    EXPECT_EQ(PlainText(plain.Get()), face);
    StreamStringIn(plain.Get(), L"", SF_TEXT | SF_UNICODE, 0);
    EXPECT_EQ(PlainText(plain.Get()), L"");
    EXPECT_EQ(StreamStringOut(nullptr, SF_RTF), L"");
}

TEST(RichTextStream, LoadsAreNeverCutByTheTextLimit) {
    RichEditWindow rich;
    std::vector<std::pair<UINT, LPARAM>> log;
    ASSERT_TRUE(
        SetWindowSubclass(rich.Get(), Recorder::Proc, 1, reinterpret_cast<DWORD_PTR>(&log)));
    // Lines of 100 characters: the window lays out one huge paragraph slowly.
    std::wstring document;
    while (document.size() < 200000)
        document += std::wstring(97, L'x') + L"Ж\r\n";
    StreamStringIn(rich.Get(), document, SF_TEXT | SF_UNICODE, 10);
    const std::vector<std::pair<UINT, LPARAM>> expected = {
        {EM_EXLIMITTEXT, 0x7FFFFFFE}, {EM_STREAMIN, SF_TEXT | SF_UNICODE}, {EM_EXLIMITTEXT, 10}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(SendMessageW(rich.Get(), EM_GETLIMITTEXT, 0, 0), 10);
    EXPECT_EQ(PlainText(rich.Get()), document);

    RemoveWindowSubclass(rich.Get(), Recorder::Proc, 1);

    // RTF the same way, and a large document out again in one piece.
    RichEditWindow rtfWindow;
    log.clear();
    ASSERT_TRUE(
        SetWindowSubclass(rtfWindow.Get(), Recorder::Proc, 1, reinterpret_cast<DWORD_PTR>(&log)));
    std::wstring rtf = L"{\\rtf1\\ansi ";
    for (int i = 0; i < 2000; ++i)
        rtf += L"line " + std::to_wstring(i) + L"\\par ";
    StreamStringIn(rtfWindow.Get(), rtf + L"}", SF_RTF, 0);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], (std::pair<UINT, LPARAM>{EM_EXLIMITTEXT, 0x7FFFFFFE}));
    EXPECT_EQ(log[2], (std::pair<UINT, LPARAM>{EM_EXLIMITTEXT, 0}));
    const std::wstring text = PlainText(rtfWindow.Get());
    EXPECT_EQ(text.rfind(L"line 0\r\nline 1\r\n", 0), 0u);
    EXPECT_NE(text.find(L"line 1999"), std::wstring::npos);
    RemoveWindowSubclass(rtfWindow.Get(), Recorder::Proc, 1);
}

TEST(RichTextStream, FilesInEveryFormat) {
    Folder folder;
    RichEditWindow rich;
    StreamStringIn(rich.Get(), L"{\\rtf1\\ansi Bold \\b Ünïcode\\b0\\par}", SF_RTF, 0);
    const std::wstring rtfFile = folder.File(L"doc.rtf");
    const std::wstring textFile = folder.File(L"doc.txt");
    const std::wstring unicodeFile = folder.File(L"doc.utf16");
    SaveFile(rich.Get(), rtfFile, kFormatRTF, false);
    SaveFile(rich.Get(), textFile, kFormatText, false);
    SaveFile(rich.Get(), unicodeFile, kFormatUnicodeText, false);
    EXPECT_EQ(ReadBytes(rtfFile).rfind("{\\rtf", 0), 0u);
    EXPECT_EQ(ReadBytes(textFile).substr(0, 5), "Bold ");
    // Unicode text behind a byte-order mark, so that it loads as such again.
    EXPECT_EQ(ReadBytes(unicodeFile).substr(0, 6), std::string("\xFF\xFE"
                                                               "B\0o\0",
                                                               6));
    SaveFile(rich.Get(), L"", kFormatRTF, false);  // nothing, no error

    struct Case {
        std::wstring file;
        int32_t format;
        std::string bytes;  // written first unless empty
        int32_t detected;
        std::wstring text;  // the first characters loaded
    };
    const Case cases[] = {
        {rtfFile, kFormatRTF, "", kFormatRTF, L"Bold Ünïcode"},
        {textFile, kFormatText, "", kFormatText, L"Bold "},
        {unicodeFile, kFormatUnicodeText, "", kFormatUnicodeText, L"Bold Ünïcode"},
        {folder.File(L"other.rtf"), kFormatRTF, "{\\rtf1 Other\\par}", kFormatRTF, L"Other"},
        {folder.File(L"bom.txt"), kFormatUnicodeText, std::string("\xFF\xFE\x16\x04!\0", 6),
         kFormatUnicodeText, L"Ж!"},
        {folder.File(L"nobom.txt"), kFormatUnicodeText, "ansi", kFormatText, L"ansi"},
        {folder.File(L"onlybom.txt"), kFormatUnicodeText, "\xFF\xFE", kFormatUnicodeText, L""},
        {folder.File(L"short.txt"), kFormatText, "{\\", kFormatText, L"{\\"},
    };
    for (const Case& c : cases) {
        if (!c.bytes.empty()) WriteBytes(c.file, c.bytes);
        EXPECT_EQ(DetectFileFormat(c.file), c.detected) << c.file;
        StreamStringIn(rich.Get(), L"old content", SF_TEXT | SF_UNICODE, 0);
        LoadFile(rich.Get(), c.file, c.format, false, 0);
        const std::wstring text = PlainText(rich.Get());
        EXPECT_EQ(text.substr(0, c.text.size()), c.text) << c.file;
        if (c.text.empty()) {
            EXPECT_EQ(text, L"") << c.file;
        }
    }

    WriteBytes(folder.File(L"upper.rtf"), "{\\RTF1}");
    EXPECT_EQ(DetectFileFormat(folder.File(L"upper.rtf")), kFormatRTF);

    // The selection alone.
    StreamStringIn(rich.Get(), L"one two three", SF_TEXT | SF_UNICODE, 0);
    CHARRANGE two{4, 7};
    SendMessageW(rich.Get(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&two));
    const std::wstring selection = folder.File(L"selection.txt");
    SaveFile(rich.Get(), selection, kFormatText, true);
    EXPECT_EQ(ReadBytes(selection), "two");
    CHARRANGE one{0, 3};
    SendMessageW(rich.Get(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&one));
    LoadFile(rich.Get(), selection, kFormatText, true, 0);
    EXPECT_EQ(PlainText(rich.Get()), L"two two three");

    // A path beyond MAX_PATH characters.
    std::wstring deep = L"\\\\?\\" + folder.File(L"");
    for (int i = 0; i < 30; ++i) {
        deep += L"level" + std::to_wstring(i) + L"\\";
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    const std::wstring longName = deep.substr(4) + L"long.txt";
    ASSERT_GT(longName.size(), static_cast<size_t>(MAX_PATH));
    SaveFile(rich.Get(), longName, kFormatText, false);
    EXPECT_TRUE(FileExists(longName));
    StreamStringIn(rich.Get(), L"", SF_TEXT | SF_UNICODE, 0);
    LoadFile(rich.Get(), longName, kFormatText, false, 0);
    EXPECT_EQ(PlainText(rich.Get()), L"two two three");
}

TEST(RichTextStream, FailuresRaise75AndKeepTheOldFile) {
    Folder folder;
    RichEditWindow rich;
    StreamStringIn(rich.Get(), L"new content", SF_TEXT | SF_UNICODE, 0);
    const std::wstring old = folder.File(L"old.txt");
    WriteBytes(old, "old content");

    // Missing files, folders, and a target that cannot be replaced.
    ExpectFileRefused([&] { LoadFile(rich.Get(), folder.File(L"missing.txt"), 1, false, 0); });
    ExpectFileRefused([&] { LoadFile(rich.Get(), folder.File(L""), 1, false, 0); });
    ExpectFileRefused([&] { SaveFile(rich.Get(), folder.File(L"no\\such\\dir.txt"), 1, false); });
    SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_READONLY);
    ExpectFileRefused([&] { SaveFile(rich.Get(), old, kFormatText, false); });
    SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(old), "old content");
    EXPECT_FALSE(FileExists(folder.File(L"missing.txt")));
    EXPECT_FALSE(FileExists(folder.File(L"")));

    // A file another program holds without sharing cannot be read.
    {
        UniqueFile locked(CreateFileW(old.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        ExpectFileRefused([&] { LoadFile(rich.Get(), old, kFormatText, false, 0); });
        ExpectFileRefused([&] { DetectFileFormat(old); });
    }
    EXPECT_EQ(PlainText(rich.Get()), L"new content");

    // Nothing is left behind beside the files.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(folder.File(L"*.tmp").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    SaveFile(rich.Get(), old, kFormatText, false);
    EXPECT_EQ(ReadBytes(old), "new content");
}
