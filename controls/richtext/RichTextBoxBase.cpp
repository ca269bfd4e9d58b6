#include "controls/richtext/RichTextBoxBase.h"

#include <ole2.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"

namespace RichTextBoxBase {

namespace {

// Module-wide, on the user-interface thread only.
UniqueModule g_library;
const wchar_t* g_class = L"";
int g_instances = 0;

// A program started from a downloads folder must never pick up a planted copy beside it.
HMODULE LoadFromSystemFolder(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Text copied from a rich edit window is on the clipboard as that library's data object.
// Rendered now, while the library is still loaded, the data outlives it; left as it is,
// the next flush (OleUninitialize at the latest) would call into code that is gone.
void FlushOwnClipboardData() {
    DWORD process = 0;
    const HWND owner = GetClipboardOwner();
    if (owner && GetWindowThreadProcessId(owner, &process) && process == GetCurrentProcessId()) {
        OleFlushClipboard();
    }
}

}  // namespace

bool InitRichTextBox() {
    if (!g_library) {
        if (HMODULE module = LoadFromSystemFolder(L"Msftedit.dll")) {
            g_library.Reset(module);
            g_class = L"RichEdit50W";
        } else if (HMODULE older = LoadFromSystemFolder(L"Riched20.dll")) {
            g_library.Reset(older);
            g_class = L"RichEdit20W";
        } else {
            return false;
        }
    }
    ++g_instances;
    return true;
}

void ReleaseRichTextBox() {
    if (g_instances == 0) return;
    if (--g_instances == 0) {
        FlushOwnClipboardData();
        g_library.Reset();
        g_class = L"";
    }
}

const wchar_t* RichEditClass() {
    return g_class;
}

HMODULE RichEditModule() {
    return g_library.Get();
}

}  // namespace RichTextBoxBase

// ---- Streaming ------------------------------------------------------------------------------

namespace RichTextBoxBase {

namespace {

// The window's own limit is lifted to this around every stream-in: a load is never cut.
constexpr LPARAM kNoTextLimit = 0x7FFFFFFE;
// The first allocation of a stream-out without a size hint.
constexpr size_t kFirstOutCapacity = 16384;

// Collects a stream-out. The bytes live in a wide string so that Unicode text becomes the
// result in place, without a second copy of a large document.
struct OutTransfer {
    std::wstring store;  // the bytes, two to a character
    size_t used = 0;     // bytes
    bool failed = false;

    char* Bytes() { return reinterpret_cast<char*>(store.data()); }
    // Only what arrives is written: the string grows geometrically by itself, and a capacity
    // reserved beforehand is never filled twice.
    void Append(const BYTE* data, size_t count) {
        store.resize((used + count + 1) / sizeof(wchar_t));
        std::memcpy(Bytes() + used, data, count);
        used += count;
    }
};

struct InTransfer {
    const char* data;
    size_t size;
    size_t position = 0;
};

DWORD CALLBACK StringOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* transfer = reinterpret_cast<OutTransfer*>(cookie);
    *done = 0;
    if (count <= 0) return 0;
    try {
        transfer->Append(buffer, static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        transfer->failed = true;  // ends the stream; the caller raises it
        return 1;
    }
    *done = count;
    return 0;
}

DWORD CALLBACK StringInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* transfer = reinterpret_cast<InTransfer*>(cookie);
    const size_t left = transfer->size - transfer->position;
    const size_t n = count > 0 ? std::min(left, static_cast<size_t>(count)) : 0;
    if (n) std::memcpy(buffer, transfer->data + transfer->position, n);
    transfer->position += n;
    *done = static_cast<LONG>(n);
    return 0;
}

// A file transfer remembers its own failure: the window also reports what it could not
// parse in the stream's error field.
struct FileTransfer {
    HANDLE file;
    bool failed = false;
    // Unicode text goes out behind a byte-order mark, which the reader needs to know it
    // again; some windows write none themselves.
    bool markPending = false;
};

DWORD CALLBACK FileOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* transfer = reinterpret_cast<FileTransfer*>(cookie);
    const DWORD wanted = static_cast<DWORD>(std::max<LONG>(count, 0));
    DWORD written = 0;
    if (transfer->markPending && wanted > 0) {
        transfer->markPending = false;
        static const BYTE kMark[] = {0xFF, 0xFE};
        if (!(wanted >= 2 && buffer[0] == 0xFF && buffer[1] == 0xFE)) {
            transfer->failed |=
                !WriteFile(transfer->file, kMark, 2, &written, nullptr) || written != 2;
            written = 0;
        }
    }
    const BOOL ok = WriteFile(transfer->file, buffer, wanted, &written, nullptr);
    *done = static_cast<LONG>(written);
    transfer->failed |= !ok || written != wanted;
    return transfer->failed ? 1 : 0;
}

DWORD CALLBACK FileInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* transfer = reinterpret_cast<FileTransfer*>(cookie);
    DWORD read = 0;
    const BOOL ok = ReadFile(transfer->file, buffer, static_cast<DWORD>(std::max<LONG>(count, 0)),
                             &read, nullptr);
    *done = static_cast<LONG>(read);
    transfer->failed |= !ok;
    return ok ? 0 : 1;
}

// Rich Text Format is 7-bit: a character beyond ASCII becomes its \u keyword with "?" for
// readers that skip it.
std::string RtfBytes(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t c : text) {
        if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
        } else {
            bytes += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
        }
    }
    return bytes;
}

std::string AnsiBytes(const std::wstring& text) {
    if (text.empty()) return {};
    const int wide = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), wide, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::wstring WideOfAnsi(const char* bytes, size_t size) {
    if (size == 0) return {};
    const int count = static_cast<int>(size);
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes, count, nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes, count, text.data(), n);
    return text;
}

// Stream-in obeys the window's text limit: lift it for the transfer, restore it after.
void StreamIn(HWND richEdit, DWORD flags, DWORD_PTR cookie, EDITSTREAMCALLBACK callback,
              int32_t maxLength) {
    SendMessageW(richEdit, EM_EXLIMITTEXT, 0, kNoTextLimit);
    EDITSTREAM stream{cookie, 0, callback};
    SendMessageW(richEdit, EM_STREAMIN, flags, reinterpret_cast<LPARAM>(&stream));
    SendMessageW(richEdit, EM_EXLIMITTEXT, 0, maxLength);
}

UniqueFile OpenForReading(const std::wstring& fileName) {
    return UniqueFile(CreateFileW(Common::LongPathForm(fileName).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Reads up to `count` bytes; fewer at the end of the file. Error 75 when reading fails.
size_t ReadBytes(HANDLE file, void* buffer, size_t count) {
    DWORD read = 0;
    if (!ReadFile(file, buffer, static_cast<DWORD>(count), &read, nullptr)) RaiseFileAccess();
    return read;
}

// A name beside `target` that no file has yet, created empty and open for writing.
UniqueFile CreateSibling(const std::wstring& target, std::wstring& siblingName) {
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD i = 0; i < 100; ++i) {
        wchar_t suffix[16];
        swprintf(suffix, 16, L".%08lx.tmp", static_cast<unsigned long>(seed + i));
        siblingName = Common::LongPathForm(target + suffix);
        UniqueFile file(CreateFileW(siblingName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (file || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return UniqueFile();
}

}  // namespace

std::wstring StreamStringOut(HWND richEdit, DWORD flags) {
    if (!richEdit) return {};
    OutTransfer transfer;
    if ((flags & (SF_UNICODE | SFF_SELECTION | SF_RTF)) == SF_UNICODE) {
        // Unicode text of the whole content has a length known beforehand: collect it
        // without growing.
        GETTEXTLENGTHEX length{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
        const LRESULT n =
            SendMessageW(richEdit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
        if (n > 0) transfer.store.reserve(static_cast<size_t>(n) + 1);
    } else {
        transfer.store.reserve(kFirstOutCapacity / sizeof(wchar_t));
    }
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&transfer), 0, StringOutCallback};
    SendMessageW(richEdit, EM_STREAMOUT, flags, reinterpret_cast<LPARAM>(&stream));
    if (transfer.failed) throw std::bad_alloc();
    if (flags & SF_UNICODE) {
        transfer.store.resize(transfer.used / sizeof(wchar_t));
        return std::move(transfer.store);
    }
    return WideOfAnsi(transfer.Bytes(), transfer.used);
}

void StreamStringIn(HWND richEdit, const std::wstring& text, DWORD flags, int32_t maxLength) {
    if (!richEdit) return;
    std::string bytes;
    InTransfer transfer{reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)};
    if (!(flags & SF_UNICODE)) {
        bytes = (flags & SF_RTF) ? RtfBytes(text) : AnsiBytes(text);
        transfer = InTransfer{bytes.data(), bytes.size()};
    }
    StreamIn(richEdit, flags, reinterpret_cast<DWORD_PTR>(&transfer), StringInCallback, maxLength);
}

void StreamFileOut(HWND richEdit, const std::wstring& fileName, DWORD flags) {
    if (!richEdit) return;
    // A read-only file or a folder is never replaced.
    const DWORD existing = GetFileAttributesW(Common::LongPathForm(fileName).c_str());
    if (existing != INVALID_FILE_ATTRIBUTES &&
        (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        RaiseFileAccess();
    }
    std::wstring temporary;
    UniqueFile file = CreateSibling(fileName, temporary);
    if (!file) RaiseFileAccess();
    FileTransfer transfer{file.Get()};
    transfer.markPending = (flags & (SF_UNICODE | SF_TEXT)) == (SF_UNICODE | SF_TEXT);
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&transfer), 0, FileOutCallback};
    SendMessageW(richEdit, EM_STREAMOUT, flags, reinterpret_cast<LPARAM>(&stream));
    const bool written = !transfer.failed && FlushFileBuffers(file.Get());
    file.Reset();
    if (!written || !MoveFileExW(temporary.c_str(), Common::LongPathForm(fileName).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        RaiseFileAccess();
    }
}

void StreamFileIn(HWND richEdit, const std::wstring& fileName, DWORD flags, int32_t maxLength) {
    if (!richEdit) return;
    UniqueFile file = OpenForReading(fileName);
    if (!file) RaiseFileAccess();
    FileTransfer transfer{file.Get()};
    StreamIn(richEdit, flags, reinterpret_cast<DWORD_PTR>(&transfer), FileInCallback, maxLength);
    if (transfer.failed) RaiseFileAccess();
}

// ---- Files ----------------------------------------------------------------------------------

void RaiseFileAccess() {
    ControlErrors::Raise(ControlErrors::kPathFileAccess, kFileAccessDescription);
}

bool FileExists(const std::wstring& fileName) {
    constexpr DWORD kVolumeLabel = 0x8;
    try {
        return !(Common::GetAttributesLong(fileName) & (FILE_ATTRIBUTE_DIRECTORY | kVolumeLabel));
    } catch (const ControlError&) {
        return false;
    }
}

DWORD FormatFlags(int32_t format, bool selectionOnly) {
    DWORD flags = selectionOnly ? SFF_SELECTION : 0;
    if (format == kFormatRTF) flags |= SF_RTF;
    if (format == kFormatText) flags |= SF_TEXT;
    if (format == kFormatUnicodeText) flags |= SF_TEXT | SF_UNICODE;
    return flags;
}

int32_t DetectFileFormat(const std::wstring& fileName) {
    UniqueFile file = OpenForReading(fileName);
    if (!file) RaiseFileAccess();
    char head[5] = {};
    const size_t n = ReadBytes(file.Get(), head, sizeof head);
    if (n >= 2 && head[0] == '\xFF' && head[1] == '\xFE') return kFormatUnicodeText;
    if (n == 5 && head[0] == '{' && head[1] == '\\' &&
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, head + 2, 3, "rtf", 3) == CSTR_EQUAL) {
        return kFormatRTF;
    }
    return kFormatText;
}

void LoadFile(HWND richEdit, const std::wstring& fileName, int32_t format, bool selectionOnly,
              int32_t maxLength) {
    if (fileName.empty()) return;
    if (!FileExists(fileName)) RaiseFileAccess();
    const DWORD flags = FormatFlags(format, selectionOnly);
    if (format == kFormatUnicodeText) {
        UniqueFile file = OpenForReading(fileName);
        if (!file) RaiseFileAccess();
        unsigned char mark[2] = {};
        if (ReadBytes(file.Get(), mark, 2) == 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
            LARGE_INTEGER size{};
            if (!GetFileSizeEx(file.Get(), &size)) RaiseFileAccess();
            std::wstring text(static_cast<size_t>((size.QuadPart - 2) / 2), L'\0');
            text.resize(ReadBytes(file.Get(), text.data(), text.size() * 2) / 2);
            file.Reset();
            // A file holding only the mark is an empty document.
            StreamStringIn(richEdit, text, flags, maxLength);
            return;
        }
        // Without the mark the file is text of the ANSI code page.
        StreamFileIn(richEdit, fileName, flags & ~SF_UNICODE, maxLength);
        return;
    }
    StreamFileIn(richEdit, fileName, flags, maxLength);
}

void SaveFile(HWND richEdit, const std::wstring& fileName, int32_t format, bool selectionOnly) {
    if (fileName.empty()) return;
    StreamFileOut(richEdit, fileName, FormatFlags(format, selectionOnly));
}

}  // namespace RichTextBoxBase
