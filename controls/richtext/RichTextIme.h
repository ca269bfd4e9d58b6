// RichTextIme: the input method settings of a rich text box, applied to its window's input
// context through imm32.
//
// Every imm32 call goes through one table of functions, so that a test can put a recorder in
// front of the system (whose open status, for one, does not stick everywhere).
#pragma once

#include <windows.h>
#include <imm.h>

#include <cstdint>

namespace RichTextIme {

// IMEMode values.
inline constexpr int32_t kNoControl = 0;
inline constexpr int32_t kOn = 1;
inline constexpr int32_t kOff = 2;
inline constexpr int32_t kDisable = 3;
inline constexpr int32_t kHangul = 10;

struct Functions {
    BOOL(WINAPI* isIME)(HKL);
    HIMC(WINAPI* createContext)();
    BOOL(WINAPI* destroyContext)(HIMC);
    HIMC(WINAPI* getContext)(HWND);
    BOOL(WINAPI* releaseContext)(HWND, HIMC);
    HIMC(WINAPI* associateContext)(HWND, HIMC);
    BOOL(WINAPI* getConversionStatus)(HIMC, LPDWORD, LPDWORD);
    BOOL(WINAPI* setConversionStatus)(HIMC, DWORD, DWORD);
    BOOL(WINAPI* setOpenStatus)(HIMC, BOOL);
};

// The functions in use: imm32's own unless a test replaced them.
const Functions& Imm();
// Replaces the functions (null puts imm32's back); for tests.
void SetFunctions(const Functions* functions);

// An input context a window owns: made for it and associated with it, dissociated and
// destroyed when it goes.
class OwnContext {
public:
    OwnContext() = default;
    OwnContext(const OwnContext&) = delete;
    OwnContext& operator=(const OwnContext&) = delete;
    ~OwnContext() { Reset(); }
    // Makes one for `window` when it has none of its own yet.
    void Create(HWND window);
    void Reset();
    HIMC Get() const { return himc_; }

private:
    HWND window_ = nullptr;
    HIMC himc_ = nullptr;
};

// Applies an IMEMode (0 to 10) to the window's input context, when the keyboard layout is an
// input method and the window has a context of its own (`own`).
void ApplyMode(HWND window, int32_t mode, HIMC own);

}  // namespace RichTextIme
