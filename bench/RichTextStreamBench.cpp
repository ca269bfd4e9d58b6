// Rich text streaming benchmark, side by side in one run:
//   - StreamStringOut of 1, 4 and 20 MB documents against a bare EM_STREAMOUT into a buffer
//     of the known size (goal: at most 1.05 times). Both deliver the text in memory of their
//     own, allocated in the timed call: touching new pages costs as much as the copy itself
//     here, and a reused, already touched buffer would compare a cost no caller avoids;
//   - StreamStringIn of 256 KB and 1 MB RTF documents against a bare EM_STREAMIN of the same
//     bytes (goal: at most 1.05 times);
//   - the peak memory of reading a 20 MB document as Unicode text (goal: at most 3 times the
//     document), counted by the allocator and by the process's private bytes.
//   rich_text_stream_bench.exe [runs]
#include <windows.h>
#include <psapi.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "bench/BenchReport.h"
#include "controls/richtext/RichTextBoxBase.h"

namespace {

// What operator new holds now and at most, in bytes.
size_t g_live = 0;
size_t g_peak = 0;

}  // namespace

void* operator new(size_t size) {
    void* p = std::malloc(size + sizeof(size_t));
    if (!p) throw std::bad_alloc();
    *static_cast<size_t*>(p) = size;
    g_live += size;
    g_peak = std::max(g_peak, g_live);
    return static_cast<size_t*>(p) + 1;
}

void operator delete(void* p) noexcept {
    if (!p) return;
    size_t* block = static_cast<size_t*>(p) - 1;
    g_live -= *block;
    std::free(block);
}

void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

constexpr size_t kMB = 1024 * 1024;

using BenchReport::Now;

struct Fixed {
    char* data;
    size_t size;
    size_t position;
};

DWORD CALLBACK FixedOut(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* fixed = reinterpret_cast<Fixed*>(cookie);
    const size_t n = std::min(static_cast<size_t>(count), fixed->size - fixed->position);
    std::memcpy(fixed->data + fixed->position, buffer, n);
    fixed->position += n;
    *done = static_cast<LONG>(n);
    return 0;
}

DWORD CALLBACK FixedIn(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* done) {
    auto* fixed = reinterpret_cast<Fixed*>(cookie);
    const size_t n = std::min(static_cast<size_t>(count), fixed->size - fixed->position);
    std::memcpy(buffer, fixed->data + fixed->position, n);
    fixed->position += n;
    *done = static_cast<LONG>(n);
    return 0;
}

// Lines of text, `bytes` long as UTF-16.
std::wstring TextDocument(size_t bytes) {
    std::wstring text;
    text.reserve(bytes / 2);
    for (int line = 0; text.size() * 2 < bytes; ++line) {
        text += L"Line " + std::to_wstring(line) + L" of the document, with some words. ";
        if (line % 16 == 15) text += L"\r\n";
    }
    text.resize(bytes / 2);
    return text;
}

// RTF of about `bytes` bytes, paragraphs with some formatting.
std::wstring RtfDocument(size_t bytes) {
    std::wstring rtf = L"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
    for (int line = 0; rtf.size() < bytes; ++line) {
        rtf += L"Paragraph \\b " + std::to_wstring(line) + L"\\b0  of the document.\\par ";
    }
    return rtf + L"}";
}

std::string Ascii(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// A hidden window of its own for each document: replacing a large document costs the window
// more than loading it. Lines as long as the document has them (wrapping only costs the
// window time) and no undo copy of each load.
HWND NewWindow() {
    HWND rich = CreateWindowExW(0, RichTextBoxBase::RichEditClass(), L"", WS_POPUP | ES_MULTILINE,
                                0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    if (!rich) {
        std::printf("no rich edit window\n");
        std::exit(1);
    }
    SendMessageW(rich, EM_SETTARGETDEVICE, 0, 1);
    SendMessageW(rich, EM_SETUNDOLIMIT, 0, 0);
    return rich;
}

size_t PrivateBytes(bool peak) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return peak ? counters.PeakPagefileUsage : counters.PrivateUsage;
}

void PeakOfTextRead(HWND rich, size_t document);

// One figure of the benchmark table: the best of the runs, ours over the bare messages.
void Report(const char* area, unsigned size, const char* unit, double ours, double bare,
            const char* goal, const char* what) {
    char name[80], detail[200];
    std::snprintf(name, sizeof name, "%s%u%s", area, size, unit);
    std::snprintf(detail, sizeof detail, "%s: %.1f ms against %.1f ms (best of the runs)", what,
                  ours, bare);
    BenchReport::Figure(name, ours / bare, goal, detail);
}

void StreamOut(int runs) {
    std::printf("StreamStringOut (Unicode text) against EM_STREAMOUT into a sized buffer\n");
    for (size_t mb : {1, 4, 20}) {
        HWND rich = NewWindow();
        RichTextBoxBase::StreamStringIn(rich, TextDocument(mb * kMB), SF_TEXT | SF_UNICODE, 0);
        if (mb == 20) PeakOfTextRead(rich, mb * kMB);
        const size_t size = RichTextBoxBase::StreamStringOut(rich, SF_TEXT | SF_UNICODE).size();
        double ours = 1e30, bare = 1e30;
        for (int i = 0; i < runs; ++i) {
            double start = Now();
            std::unique_ptr<char[]> buffer(new char[size * 2 + 16]);  // not filled beforehand
            Fixed fixed{buffer.get(), size * 2 + 16, 0};
            EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&fixed), 0, FixedOut};
            SendMessageW(rich, EM_STREAMOUT, SF_TEXT | SF_UNICODE,
                         reinterpret_cast<LPARAM>(&stream));
            bare = std::min(bare, Now() - start);
            start = Now();
            const std::wstring text = RichTextBoxBase::StreamStringOut(rich, SF_TEXT | SF_UNICODE);
            ours = std::min(ours, Now() - start);
        }
        std::printf("  %2u MB: %8.1f ms against %8.1f ms  ratio %.3f\n", static_cast<unsigned>(mb),
                    ours, bare, ours / bare);
        Report("richtext.stream_out_text_", static_cast<unsigned>(mb), "mb", ours, bare, "<= 1.05",
               "StreamStringOut of Unicode text against EM_STREAMOUT into a sized buffer");
        std::fflush(stdout);
        DestroyWindow(rich);
    }
    // RTF collects without knowing the size beforehand: the growth of the buffer shows here.
    HWND rich = NewWindow();
    RichTextBoxBase::StreamStringIn(rich, TextDocument(4 * kMB), SF_TEXT | SF_UNICODE, 0);
    const size_t size = RichTextBoxBase::StreamStringOut(rich, SF_RTF).size();
    std::string buffer(size + 16, '\0');
    double ours = 1e30, bare = 1e30;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        Fixed fixed{buffer.data(), buffer.size(), 0};
        EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&fixed), 0, FixedOut};
        SendMessageW(rich, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
        bare = std::min(bare, Now() - start);
        start = Now();
        const std::wstring rtf = RichTextBoxBase::StreamStringOut(rich, SF_RTF);
        ours = std::min(ours, Now() - start);
    }
    std::printf("  %2u MB RTF: %8.1f ms against %8.1f ms  ratio %.3f\n",
                static_cast<unsigned>(size / kMB), ours, bare, ours / bare);
    Report("richtext.stream_out_rtf_", static_cast<unsigned>(size / kMB), "mb", ours, bare, "-",
           "StreamStringOut of RTF against EM_STREAMOUT into a sized buffer");
    DestroyWindow(rich);
}

void StreamIn(int runs) {
    std::printf("StreamStringIn (RTF) against EM_STREAMIN of the same bytes\n");
    for (size_t kb : {256, 1024}) {
        const std::wstring rtf = RtfDocument(kb * 1024);
        std::string bytes = Ascii(rtf);
        double ours = 1e30, bare = 1e30;
        for (int i = 0; i < runs; ++i) {
            // Each load into a new, empty window, outside the time taken.
            HWND rich = NewWindow();
            double start = Now();
            Fixed fixed{bytes.data(), bytes.size(), 0};
            EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&fixed), 0, FixedIn};
            SendMessageW(rich, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
            bare = std::min(bare, Now() - start);
            DestroyWindow(rich);
            rich = NewWindow();
            start = Now();
            RichTextBoxBase::StreamStringIn(rich, rtf, SF_RTF, 0);
            ours = std::min(ours, Now() - start);
            DestroyWindow(rich);
        }
        std::printf("  %4u KB: %8.1f ms against %8.1f ms  ratio %.3f\n", static_cast<unsigned>(kb),
                    ours, bare, ours / bare);
        Report("richtext.stream_in_rtf_", static_cast<unsigned>(kb), "kb", ours, bare, "<= 1.05",
               "StreamStringIn of RTF against EM_STREAMIN of the same bytes");
        std::fflush(stdout);
    }
}

void PeakOfTextRead(HWND rich, size_t document) {
    // The window's own stream-out into a sized buffer first: what it allocates on the way is
    // the window's, and the peak it leaves is what the read through StreamStringOut is held
    // against.
    std::string buffer(document + 16, '\0');
    const size_t privateBefore = PrivateBytes(false);
    Fixed fixed{buffer.data(), buffer.size(), 0};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&fixed), 0, FixedOut};
    SendMessageW(rich, EM_STREAMOUT, SF_TEXT | SF_UNICODE, reinterpret_cast<LPARAM>(&stream));
    const size_t barePeak = PrivateBytes(true);
    buffer = std::string();
    g_peak = g_live;
    const size_t liveBefore = g_live;
    const std::wstring text = RichTextBoxBase::StreamStringOut(rich, SF_TEXT | SF_UNICODE);
    const size_t allocated = g_peak - liveBefore;
    const size_t oursPeak = PrivateBytes(true);
    const auto mb = [](size_t bytes) { return static_cast<double>(bytes) / kMB; };
    std::printf("Peak memory of reading a %u MB document as Unicode text (%u MB read)\n",
                static_cast<unsigned>(document / kMB),
                static_cast<unsigned>(text.size() * 2 / kMB));
    std::printf("  StreamStringOut allocates at most %.1f MB  ratio %.2f\n", mb(allocated),
                static_cast<double>(allocated) / static_cast<double>(document));
    char detail[160];
    std::snprintf(detail, sizeof detail,
                  "allocated by StreamStringOut reading a %u MB document as Unicode text: %.1f MB",
                  static_cast<unsigned>(document / kMB), mb(allocated));
    BenchReport::Figure("richtext.text_read_peak_memory",
                        static_cast<double>(allocated) / static_cast<double>(document), "<= 3",
                        detail);
    std::printf(
        "  private bytes above the loaded document: bare stream-out %.1f MB, "
        "StreamStringOut %.1f MB (ratio %.2f)\n",
        mb(barePeak - privateBefore), mb(std::max(oursPeak, barePeak) - privateBefore),
        static_cast<double>(std::max(oursPeak, barePeak) - privateBefore) /
            static_cast<double>(document));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
    if (!RichTextBoxBase::InitRichTextBox()) {
        std::printf("no rich edit library\n");
        return 1;
    }
    StreamIn(runs);
    StreamOut(runs);
    RichTextBoxBase::ReleaseRichTextBox();
    return 0;
}
