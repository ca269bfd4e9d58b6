// ControlError: how numbered errors reach the callers of the library.
//
// A C++ caller gets a thrown ControlError carrying the number and its description. At a COM
// boundary (a dispatch or interface method), ErrorToHResult turns it into the HRESULT
// 0x800A0000 | number (FACILITY_CONTROL, the customary form of such numbers) and sets the
// thread's IErrorInfo with the description, so automation clients see both.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <type_traits>

class ControlError : public std::exception {
public:
    ControlError(int32_t number, std::wstring description);
    explicit ControlError(int32_t number);  // the standard description of `number`

    int32_t Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    int32_t number_;
    std::wstring description_;
    std::string narrow_;
};

namespace ControlErrors {

inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kPathFileAccess = 75;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidClassString = 711;
inline constexpr int32_t kDuplicateName = 727;
inline constexpr int32_t kControlNotFound = 730;
inline constexpr int32_t kInvalidPropertyValue = 380;
inline constexpr int32_t kInvalidPropertyArrayIndex = 381;
inline constexpr int32_t kReadOnlyAtRunTime = 382;
inline constexpr int32_t kReadOnly = 383;
inline constexpr int32_t kWriteOnly = 394;
inline constexpr int32_t kMemberNotFound = 461;
inline constexpr int32_t kPrinterError = 482;
inline constexpr int32_t kCancelSelected = 32755;

// The standard text of an error number ("Invalid property value" for 380, ...); empty for
// numbers without one.
std::wstring StandardDescription(int32_t number);

// Throws ControlError(number, description); an empty description takes the standard one.
[[noreturn]] void Raise(int32_t number, const std::wstring& description = {});

// Error 382 with the property's name leading the text:
// "MultiLine property is read-only at run time".
[[noreturn]] void RaiseReadOnlyAtRunTime(const std::wstring& propertyName);

// The HRESULT for an error number, and the reverse (0 when `hr` is not one of ours).
HRESULT ToHResult(int32_t number);
int32_t FromHResult(HRESULT hr);

// For COM boundaries: sets the thread's error information (description, `source`, `iid`)
// and returns the HRESULT of the error.
HRESULT ErrorToHResult(const ControlError& error, const wchar_t* source = nullptr,
                       REFIID iid = IID_NULL);

// The body of a COM method: runs `body` and returns S_OK (or the HRESULT the body returns,
// when it returns one), or the HRESULT of the ControlError it threw (with the error
// information set), E_OUTOFMEMORY for std::bad_alloc, E_FAIL for any other exception.
// Nothing is thrown out of it.
template <class Body>
HRESULT AtComBoundary(Body&& body, const wchar_t* source = nullptr,
                      REFIID iid = IID_NULL) noexcept {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (const ControlError& error) {
        return ErrorToHResult(error, source, iid);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// The reverse, for C++ code calling a COM method: a failed HRESULT is thrown as a
// ControlError. One of ours gives its number; E_OUTOFMEMORY gives 7; any other failure keeps
// the HRESULT itself as the number. The description is taken from the thread's error
// information when there is some, else the standard text, else the system's message.
void RaiseIfFailed(HRESULT hr);

}  // namespace ControlErrors
