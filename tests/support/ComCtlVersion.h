// The common-controls version the controls see, chosen by a test for the life of one object.
// Wine's library answers 5.81 even with version 6 loaded: with 6.10 the paths gated on 6.0 and
// 6.1 run against Wine's real version 6 windows, which implement their messages.
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include "controls/base/VisualStyles.h"

namespace testsupport {

class ComCtlVersion {
public:
    ComCtlVersion(DWORD major, DWORD minor) {
        Major() = major;
        Minor() = minor;
        answers_.dllGetVersion = Answer;
        VisualStyles::Testing::SetSystemAnswers(&answers_);
    }
    ~ComCtlVersion() { VisualStyles::Testing::SetSystemAnswers(nullptr); }
    ComCtlVersion(const ComCtlVersion&) = delete;
    ComCtlVersion& operator=(const ComCtlVersion&) = delete;

private:
    static DWORD& Major() {
        static DWORD major = 0;
        return major;
    }
    static DWORD& Minor() {
        static DWORD minor = 0;
        return minor;
    }
    static HRESULT CALLBACK Answer(DLLVERSIONINFO* info) {
        info->dwMajorVersion = Major();
        info->dwMinorVersion = Minor();
        return S_OK;
    }
    VisualStyles::Testing::SystemAnswers answers_;
};

}  // namespace testsupport
