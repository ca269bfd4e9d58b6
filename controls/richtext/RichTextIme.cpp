#include "controls/richtext/RichTextIme.h"

namespace RichTextIme {

namespace {

const Functions kSystem{
    ImmIsIME,          ImmCreateContext,    ImmDestroyContext,      ImmGetContext,
    ImmReleaseContext, ImmAssociateContext, ImmGetConversionStatus, ImmSetConversionStatus,
    ImmSetOpenStatus};
const Functions* g_functions = &kSystem;

// The conversion bits a mode sets and those it clears.
struct ModeBits {
    DWORD set;
    DWORD clear;
};

constexpr DWORD kNative = IME_CMODE_NATIVE;
constexpr DWORD kKatakana = IME_CMODE_KATAKANA;
constexpr DWORD kFull = IME_CMODE_FULLSHAPE;

// Modes 4 to 10: Hiragana, Katakana, KatakanaHalf, AlphaFull, Alpha, HangulFull, Hangul.
constexpr ModeBits kModeBits[] = {
    {kNative | kFull, kKatakana},
    {kNative | kKatakana | kFull, 0},
    {kNative | kKatakana, kFull},
    {kFull, kNative | kKatakana},
    {0, kNative | kKatakana | kFull},
    {kNative | kFull, 0},
    {kNative, kFull},
};

}  // namespace

const Functions& Imm() {
    return *g_functions;
}

void SetFunctions(const Functions* functions) {
    g_functions = functions ? functions : &kSystem;
}

void OwnContext::Create(HWND window) {
    if (himc_ || !window) return;
    himc_ = Imm().createContext();
    if (!himc_) return;
    window_ = window;
    Imm().associateContext(window, himc_);
}

void OwnContext::Reset() {
    if (!himc_) return;
    // The window may already be gone; dissociating it then does nothing.
    if (window_ && IsWindow(window_)) Imm().associateContext(window_, nullptr);
    Imm().destroyContext(himc_);
    himc_ = nullptr;
    window_ = nullptr;
}

void ApplyMode(HWND window, int32_t mode, HIMC own) {
    const Functions& imm = Imm();
    if (!own || !imm.isIME(GetKeyboardLayout(0))) return;
    HIMC context = imm.getContext(window);
    if (mode == kDisable) {
        if (context) {
            imm.releaseContext(window, context);
            imm.associateContext(window, nullptr);
        }
        return;
    }
    if (!context) {
        imm.associateContext(window, own);
        context = imm.getContext(window);
        if (!context) return;
    }
    if (mode != kNoControl && mode >= kOn && mode <= kHangul) {
        DWORD conversion = 0, sentence = 0;
        imm.getConversionStatus(context, &conversion, &sentence);
        imm.setOpenStatus(context, mode != kOff);
        if (mode > kDisable) {
            const ModeBits& bits = kModeBits[mode - kDisable - 1];
            conversion = (conversion | bits.set) & ~bits.clear;
        }
        imm.setConversionStatus(context, conversion, sentence);
    }
    imm.releaseContext(window, context);
}

}  // namespace RichTextIme
