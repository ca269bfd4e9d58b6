// The numbered errors a call raises, for the tests of code that raises ControlError.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "controls/base/ControlError.h"

namespace testsupport {

// The number of the error `call` raises; 0 when it raises none.
inline int32_t ErrorNumberOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ControlError& e) {
        return e.Number();
    }
    return 0;
}

// A failure unless `call` raises error `number` with the description `text` (any description
// when `text` is null).
inline void ExpectControlError(int32_t number, const wchar_t* text,
                               const std::function<void()>& call) {
    try {
        call();
        ADD_FAILURE() << "no error " << number;
    } catch (const ControlError& e) {
        EXPECT_EQ(e.Number(), number);
        if (text) {
            EXPECT_EQ(e.Description(), std::wstring(text));
        }
    }
}

inline void ExpectControlError(int32_t number, const std::wstring& text,
                               const std::function<void()>& call) {
    ExpectControlError(number, text.c_str(), call);
}

}  // namespace testsupport
