#include "script/ScriptEngine.h"

#include <cwctype>
#include <vector>

#include "controls/base/ComObject.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"

namespace FormScript {

namespace {

bool EndsWithNoCase(std::wstring_view text, std::wstring_view tail) {
    if (text.size() < tail.size()) return false;
    const std::wstring_view end = text.substr(text.size() - tail.size());
    return CompareStringOrdinal(end.data(), static_cast<int>(end.size()), tail.data(),
                                static_cast<int>(tail.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::optional<Language> LanguageOfFile(std::wstring_view path) {
    if (EndsWithNoCase(path, L".vbs")) return Language::VBScript;
    if (EndsWithNoCase(path, L".js")) return Language::JScript;
    return std::nullopt;
}

std::optional<std::wstring> DecodeScript(std::string_view bytes) {
    auto utf16 = [&](size_t from, bool bigEndian) {
        std::wstring text;
        text.reserve((bytes.size() - from) / 2);
        for (size_t i = from; i + 1 < bytes.size(); i += 2) {
            const auto a = static_cast<unsigned char>(bytes[i]);
            const auto b = static_cast<unsigned char>(bytes[i + 1]);
            text.push_back(static_cast<wchar_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
        }
        return text;
    };
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return utf16(2, false);
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') return utf16(2, true);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (bytes.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                      static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return text;
}

namespace {

// The automation errors that engines report by their HRESULT alone, as scripts number them.
struct KnownError {
    HRESULT hr;
    int32_t number;
    const wchar_t* text;
};
constexpr KnownError kKnownErrors[] = {
    {DISP_E_DIVBYZERO, 11, L"Division by zero"},
    {DISP_E_OVERFLOW, 6, L"Overflow"},
    {DISP_E_TYPEMISMATCH, 13, L"Type mismatch"},
    {DISP_E_BADINDEX, 9, L"Subscript out of range"},
    {DISP_E_UNKNOWNNAME, 438, L"Object doesn't support this property or method"},
    {DISP_E_MEMBERNOTFOUND, 438, L"Object doesn't support this property or method"},
    {DISP_E_BADPARAMCOUNT, 450, L"Wrong number of arguments or invalid property assignment"},
    {DISP_E_PARAMNOTOPTIONAL, 449, L"Argument not optional"},
    {E_OUTOFMEMORY, 7, L"Out of memory"},
    {E_FAIL, 0, L"Unspecified error"},
};

}  // namespace

std::wstring FormatScriptError(long line, long column, const std::wstring& description,
                               HRESULT code) {
    std::wstring text = description;
    int32_t n = ControlErrors::FromHResult(code);
    for (const KnownError& known : kKnownErrors) {
        if (known.hr != code) continue;
        if (known.number) n = known.number;
        if (text.empty()) text = known.text;
    }
    if (text.empty() && n) text = ControlErrors::StandardDescription(n);
    if (text.empty()) text = L"Application-defined or object-defined error";
    std::wstring number;
    if (n != 0) {
        number = std::to_wstring(n);
    } else {
        wchar_t hex[16];
        wsprintfW(hex, L"0x%08X", static_cast<unsigned>(code));
        number = hex;
    }
    return L"SCRIPT(" + std::to_wstring(line) + L", " + std::to_wstring(column) + L"): " + text +
           L" (" + number + L")";
}

// --- the site ----------------------------------------------------------------------------------

class ScriptEngine::Site final : public ComObject<IActiveScriptSite, IActiveScriptSiteWindow> {
public:
    explicit Site(ScriptEngine& engine) : engine_(&engine) {}
    void Detach() { engine_ = nullptr; }

    // IActiveScriptSite
    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
        if (!lcid) return E_POINTER;
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                          ITypeInfo** info) override {
        if (info) *info = nullptr;
        if (item) *item = nullptr;
        if (!(mask & SCRIPTINFO_IUNKNOWN)) return (mask & SCRIPTINFO_ITYPEINFO) ? E_NOTIMPL : S_OK;
        if (!item) return E_POINTER;
        if (!engine_ || !name) return TYPE_E_ELEMENTNOTFOUND;
        *item = engine_->items_(name);
        return *item ? S_OK : TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override {
        if (version) *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
        if (!error || !engine_) return S_OK;
        OwnedExcepInfo info;
        error->GetExceptionInfo(&info);
        info.FillIn();
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        error->GetSourcePosition(&context, &line, &column);
        const HRESULT code = info.scode ? info.scode : ControlErrors::ToHResult(info.wCode);
        std::wstring description = info.Description();
        if (description.empty())
            description = ControlErrors::StandardDescription(ControlErrors::FromHResult(code));
        engine_->Report(
            FormatScriptError(static_cast<long>(line) + 1, column + 1, description, code));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

    // IActiveScriptSiteWindow: the engines' own boxes (MsgBox, InputBox) are owned by the
    // active form.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (!hwnd) return E_POINTER;
        *hwnd = GetActiveWindow();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

private:
    ScriptEngine* engine_;
};

// --- the engine --------------------------------------------------------------------------------

ScriptEngine::ScriptEngine(Language language, ItemSource items, ErrorSink errors)
    : language_(language), items_(std::move(items)), errors_(std::move(errors)) {
    CLSID clsid{};
    const wchar_t* progId = language == Language::VBScript ? L"VBScript" : L"JScript";
    if (FAILED(CLSIDFromProgID(progId, &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                                engine_.PutVoid()))) {
        throw ControlError(429, std::wstring(L"ActiveX component can't create object: ") + progId);
    }
    site_ = ComPtr<Site>::Attach(new Site(*this));
    ComPtr<IActiveScriptParse> parse = engine_.As<IActiveScriptParse>(__uuidof(IActiveScriptParse));
    if (!parse || FAILED(engine_->SetScriptSite(site_.Get())) || FAILED(parse->InitNew())) {
        throw ControlError(429, std::wstring(L"The script engine refused to start: ") + progId);
    }
}

ScriptEngine::~ScriptEngine() {
    Close();
}

void ScriptEngine::AddItem(const std::wstring& name) {
    if (engine_) engine_->AddNamedItem(name.c_str(), SCRIPTITEM_ISVISIBLE);
}

bool ScriptEngine::Run(const std::wstring& code) {
    if (!engine_) return false;
    ComPtr<IActiveScriptParse> parse = engine_.As<IActiveScriptParse>(__uuidof(IActiveScriptParse));
    // Started before the text is given, so that the top-level code runs at once.
    engine_->SetScriptState(SCRIPTSTATE_STARTED);
    const int before = errorsReported_;
    OwnedExcepInfo info;
    const HRESULT hr = parse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                              SCRIPTTEXT_ISVISIBLE, nullptr, &info);
    if (SUCCEEDED(hr)) return !failed_;
    if (errorsReported_ == before) {
        // Not told through the site: report what there is.
        Report(FormatScriptError(0, 0, info.Description(), info.scode ? info.scode : hr));
    }
    failed_ = true;
    return false;
}

bool ScriptEngine::CallIfDefined(const std::wstring& name, std::span<VARIANT> args) {
    if (!engine_ || failed_) return false;
    if (!global_ && FAILED(engine_->GetScriptDispatch(nullptr, global_.Put()))) return false;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    if (FAILED(global_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    VARIANT result;
    VariantInit(&result);
    OwnedExcepInfo info;
    const int before = errorsReported_;
    ComPtr<IDispatch> global = global_;  // an error handler may close the engine
    const HRESULT hr = global->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                      &result, &info, nullptr);
    VariantClear(&result);
    if (FAILED(hr)) {
        if (errorsReported_ == before) {
            info.FillIn();
            std::wstring description = info.Description();
            if (description.empty())
                description =
                    ControlErrors::StandardDescription(ControlErrors::FromHResult(info.scode));
            Report(FormatScriptError(0, 0, description + L" in " + name,
                                     hr == DISP_E_EXCEPTION && info.scode ? info.scode : hr));
        }
        failed_ = true;
    }
    return true;
}

void ScriptEngine::Report(const std::wstring& message) {
    ++errorsReported_;
    failed_ = true;
    if (errors_) errors_(message);
}

void ScriptEngine::Close() {
    global_.Reset();
    if (engine_) {
        engine_->SetScriptState(SCRIPTSTATE_DISCONNECTED);
        engine_->Close();
        engine_.Reset();
    }
    if (site_) {
        site_->Detach();
        site_.Reset();
    }
}

}  // namespace FormScript
