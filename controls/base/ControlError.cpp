#include "controls/base/ControlError.h"

#include <oleauto.h>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"

namespace {

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

}  // namespace

ControlError::ControlError(int32_t number, std::wstring description)
    : number_(number), description_(std::move(description)) {
    if (description_.empty()) description_ = ControlErrors::StandardDescription(number);
    narrow_ = "error " + std::to_string(number_) + ": " + Narrow(description_);
}

ControlError::ControlError(int32_t number) : ControlError(number, std::wstring{}) {}

namespace ControlErrors {

std::wstring StandardDescription(int32_t number) {
    switch (number) {
        case kInvalidProcedureCall:
            return L"Invalid procedure call or argument";
        case kOverflow:
            return L"Overflow";
        case kOutOfMemory:
            return L"Out of memory";
        case kSubscriptOutOfRange:
            return L"Subscript out of range";
        case kTypeMismatch:
            return L"Type mismatch";
        case kFileNotFound:
            return L"File not found";
        case kPathFileAccess:
            return L"Path/File access error";
        case kObjectNotSet:
            return L"Object variable or With block variable not set";
        case kInvalidPropertyValue:
            return L"Invalid property value";
        case kInvalidPropertyArrayIndex:
            return L"Invalid property array index";
        case kReadOnlyAtRunTime:
            return L"Property is read-only at run time";
        case kReadOnly:
            return L"Property is read-only";
        case kWriteOnly:
            return L"Property is write-only";
        case kMemberNotFound:
            return L"Method or data member not found";
        case kPrinterError:
            return L"Printer error";
        case kCancelSelected:
            return L"Cancel was selected.";
        default:
            return {};
    }
}

void Raise(int32_t number, const std::wstring& description) {
    throw ControlError(number, description);
}

void RaiseReadOnlyAtRunTime(const std::wstring& propertyName) {
    throw ControlError(kReadOnlyAtRunTime, propertyName + L" property is read-only at run time");
}

HRESULT ToHResult(int32_t number) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<uint32_t>(number) & 0xFFFF);
}

int32_t FromHResult(HRESULT hr) {
    if (HRESULT_FACILITY(hr) != FACILITY_CONTROL || !FAILED(hr)) return 0;
    return HRESULT_CODE(hr);
}

HRESULT ErrorToHResult(const ControlError& error, const wchar_t* source, REFIID iid) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(iid);
        create->SetDescription(const_cast<LPOLESTR>(error.Description().c_str()));
        if (source) create->SetSource(const_cast<LPOLESTR>(source));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return ToHResult(error.Number());
}

void RaiseIfFailed(HRESULT hr) {
    if (SUCCEEDED(hr)) return;
    int32_t number = FromHResult(hr);
    if (!number) number = hr == E_OUTOFMEMORY ? kOutOfMemory : static_cast<int32_t>(hr);
    std::wstring description;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) == S_OK && info) {
        UniqueBstr text;
        if (SUCCEEDED(info->GetDescription(text.Put())) && text) {
            description.assign(text.Get(), SysStringLen(text.Get()));
        }
    }
    if (description.empty()) description = StandardDescription(number);
    if (description.empty()) {
        wchar_t* message = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
        if (length && message) description.assign(message, length);
        LocalFree(message);
        while (!description.empty() &&
               (description.back() == L'\n' || description.back() == L'\r' ||
                description.back() == L' ')) {
            description.pop_back();
        }
        if (description.empty()) description = L"Automation error";
    }
    throw ControlError(number, description);
}

}  // namespace ControlErrors
