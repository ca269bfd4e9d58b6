// Printing: the page loop against a scripted device (no printer can be had here, and the
// window under test only stubs EM_FORMATRANGE), the range each member prints, and a real
// rendering onto a memory device context recorded at the window.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/base/ControlError.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/RichTextPrint.h"
#include "tests/controls/richtext/RichTextTestSupport.h"
#include "tests/support/GuiResources.h"
#include "tests/support/ControlErrors.h"

using namespace richtexttest;

namespace {

// A device that answers as scripted and writes down every call: "doc", "page", "end page",
// "format N" (a page rendered from character N), "release", "end doc", "abort".
struct ScriptedDevice final : RichTextPrint::Device {
    bool printer = true;
    int startDoc = 1, startPage = 1;
    LONG perPage = 100;  // characters each page takes
    std::vector<std::string> calls;
    std::wstring docName;
    FORMATRANGE first{};
    int Caps(HDC, int index) override {
        switch (index) {
            case PHYSICALWIDTH:
                return printer ? 2550 : 0;
            case PHYSICALHEIGHT:
                return printer ? 3300 : 0;
            case PHYSICALOFFSETX:
            case PHYSICALOFFSETY:
                return 75;
            case LOGPIXELSX:
            case LOGPIXELSY:
                return 300;
        }
        return 0;
    }
    int ScreenCaps(int index) override {
        return index == HORZRES ? 1024 : index == VERTRES ? 768 : 96;
    }
    int StartDocument(HDC, const DOCINFOW& doc) override {
        calls.push_back("doc");
        docName = doc.lpszDocName;
        return startDoc;
    }
    int StartPage(HDC) override {
        calls.push_back("page");
        return startPage;
    }
    int EndPage(HDC) override {
        calls.push_back("end page");
        return 1;
    }
    int EndDoc(HDC) override {
        calls.push_back("end doc");
        return 1;
    }
    int AbortDoc(HDC) override {
        calls.push_back("abort");
        return 1;
    }
    LRESULT FormatRange(HWND, bool render, FORMATRANGE* range) override {
        if (!range) {
            calls.push_back("release");
            return 0;
        }
        if (!first.hdc) first = *range;
        calls.push_back(std::string(render ? "format " : "measure ") +
                        std::to_string(range->chrg.cpMin));
        return range->chrg.cpMin + perPage;
    }
};

const HDC kDC = reinterpret_cast<HDC>(static_cast<LONG_PTR>(0x1234));

}  // namespace

TEST(RichTextPrint, ThePageLoopEndsAtTheRangeOrWhenNothingMoves) {
    using Calls = std::vector<std::string>;
    struct Case {
        const char* what;
        bool printer, startEnd;
        int startDoc, startPage;
        LONG perPage;
        Calls calls;
    };
    const Calls threePages = {"page",     "format 150", "end page",   "page",     "format 250",
                              "end page", "page",       "format 350", "end page", "release"};
    Calls inDocument = {"doc"};
    inDocument.insert(inDocument.end(), threePages.begin(), threePages.end());
    inDocument.push_back("end doc");
    const Case cases[] = {
        {"three pages in the control's document", true, true, 1, 1, 100, inDocument},
        {"the caller's document", true, false, 1, 1, 100, threePages},
        {"no progress",
         true,
         true,
         1,
         1,
         0,
         {"doc", "page", "format 150", "end page", "release", "abort"}},
        {"no progress in the caller's document",
         true,
         false,
         1,
         1,
         0,
         {"page", "format 150", "end page", "release"}},
        {"page refused", true, true, 1, 0, 100, {"doc", "page", "release", "abort"}},
        {"screen", false, true, 1, 1, 100, {"format 150", "release"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDevice device;
        device.printer = c.printer;
        device.startDoc = c.startDoc;
        device.startPage = c.startPage;
        device.perPage = c.perPage;
        RichTextPrint::Job job{kDC, c.startEnd, L"Licence", 1440, 720, 1440, 720};
        RichTextPrint::PrintRange(nullptr, {150, 420}, 420, job, device);
        EXPECT_EQ(device.calls, c.calls);
    }

    // The page in twips from the device's inches, the text inside margins and offsets.
    ScriptedDevice device;
    RichTextPrint::Job job{kDC, true, L"Licence", 1440, 720, 1440, 720};
    RichTextPrint::PrintRange(nullptr, {0, -1}, 50, job, device);
    EXPECT_EQ(device.docName, L"Licence");
    EXPECT_EQ(device.first.hdc, kDC);
    EXPECT_EQ(device.first.hdcTarget, kDC);
    const RECT page{0, 0, 12240, 15840},
        text{360 + 1440, 360 + 720, 12240 + 360 - 1440, 15840 + 360 - 720};
    EXPECT_TRUE(EqualRect(&device.first.rcPage, &page));
    EXPECT_TRUE(EqualRect(&device.first.rc, &text));

    // A document that cannot be started is an error, and nothing is printed.
    ScriptedDevice refusing;
    refusing.startDoc = 0;
    testsupport::ExpectControlError(482, nullptr, [&] {
        RichTextPrint::PrintRange(nullptr, {0, -1}, 50, job, refusing);
    });
    EXPECT_EQ(refusing.calls, Calls{"doc"});

    // A screen context: one rendering on a page the size of the screen.
    ScriptedDevice screen;
    screen.printer = false;
    RichTextPrint::PrintRange(nullptr, {0, -1}, 50, job, screen);
    const RECT screenPage{0, 0, 1024 * 15, 768 * 15};
    EXPECT_TRUE(EqualRect(&screen.first.rcPage, &screenPage));
}

TEST(RichTextPrint, MembersPrintTheirRange) {
    LoadedBox f(L"A licence agreement of some length");
    auto& box = *f.box;
    const RichTextPrint::Job job{kDC, false, L"", 0, 0, 0, 0};
    struct Case {
        const char* what;
        bool selectionOnly;
        CHARRANGE selection;
        std::string firstPage;
    };
    const Case cases[] = {
        {"whole text", false, {5, 10}, "format 0"},
        {"selection", true, {5, 10}, "format 5"},
        {"empty selection: whole text", true, {7, 7}, "format 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        f.Select(c.selection.cpMin, c.selection.cpMax);
        ScriptedDevice device;
        if (c.selectionOnly) {
            RichTextPrint::SelPrint(box.hWnd(), job, device);
        } else {
            RichTextPrint::PrintDoc(box.hWnd(), job, device);
        }
        ASSERT_GE(device.calls.size(), 2u);
        EXPECT_EQ(device.calls[1], c.firstPage);
        const LONG end =
            c.selectionOnly && c.selection.cpMin != c.selection.cpMax ? c.selection.cpMax : -1;
        EXPECT_EQ(device.first.chrg.cpMax, end);
    }

    // Through the control onto a memory context: one rendering, then the cache released;
    // nothing without a device context, and no object left behind.
    std::vector<Recorder::Sent> sent;
    ASSERT_TRUE(
        SetWindowSubclass(box.hWnd(), Recorder::Proc, 7, reinterpret_cast<DWORD_PTR>(&sent)));
    testsupport::ExpectNoGuiLeaks([&](int) {
        HDC memory = CreateCompatibleDC(nullptr);
        sent.clear();
        EXPECT_EQ(
            f.Do(L"PrintDoc", {I4(static_cast<int32_t>(reinterpret_cast<LONG_PTR>(memory)))}).hr,
            S_OK);
        DeleteDC(memory);
        std::vector<Recorder::Sent> formats;
        for (const Recorder::Sent& s : sent)
            if (s.msg == EM_FORMATRANGE) formats.push_back(s);
        ASSERT_EQ(formats.size(), 2u);
        EXPECT_EQ(formats[0].wParam, 1u);
        EXPECT_NE(formats[0].lParam, 0);
        EXPECT_EQ(formats[1], (Recorder::Sent{EM_FORMATRANGE, 0, 0}));
    });
    sent.clear();
    box.SelPrint(nullptr);
    EXPECT_TRUE(sent.empty());
    RemoveWindowSubclass(box.hWnd(), Recorder::Proc, 7);
}
