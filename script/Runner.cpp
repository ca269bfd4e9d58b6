#include "script/Runner.h"

#include <exception>

#include "controls/base/ControlError.h"
#include "host/ControlDescription.h"
#include "host/Layout.h"
#include "host/Program.h"
#include "host/StoredValue.h"
#include "script/FormObjects.h"
#include "script/HostObject.h"
#include "script/Input.h"

namespace FormScript {

namespace {

Runner* g_runner = nullptr;

// A form with no layout: empty, 6000 x 4500 twips of client area.
Layout::FormLayout EmptyLayout() {
    Layout::FormLayout layout;
    layout.file = "(empty form)";
    layout.name = "Form";
    layout.caption = u"Form";
    layout.clientWidth = 6000;
    layout.clientHeight = 4500;
    layout.startUpPosition = 2;  // centred: the whole form on the screen, for clicks too
    return layout;
}

std::wstring Describe(const std::exception& e) {
    return StoredValue::WideFromUtf8(e.what());
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    UniqueHandle<HANDLE, HandleTraits::File> file(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) ||
        static_cast<ULONGLONG>(size.QuadPart) > Layout::kMaxFileBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return std::nullopt;
    }
    bytes.resize(read);
    return bytes;
}

std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& args,
                                        std::wstring& error) {
    Options options;
    size_t i = 0;
    if (i < args.size() && _wcsicmp(args[i].c_str(), L"/log") == 0) {
        if (i + 1 >= args.size()) {
            error = L"/log needs a file name";
            return std::nullopt;
        }
        options.log = args[i + 1];
        i += 2;
    }
    // LAYOUT is there when the first remaining name is not a script.
    if (i < args.size() && !LanguageOfFile(args[i])) options.layout = args[i++];
    if (i >= args.size() || !LanguageOfFile(args[i])) {
        error =
            L"usage: formscript.exe [/log FILE] [LAYOUT] SCRIPT [ARGS...] (SCRIPT: .vbs or .js)";
        return std::nullopt;
    }
    options.script = args[i++];
    options.arguments.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return options;
}

Runner::Runner(Options options) : options_(std::move(options)) {
    g_runner = this;
    out_ = GetStdHandle(STD_OUTPUT_HANDLE);
    err_ = GetStdHandle(STD_ERROR_HANDLE);
    if (!options_.log.empty()) {
        log_.Reset(CreateFileW(options_.log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    language_ = LanguageOfFile(options_.script).value_or(Language::VBScript);
    boxes_ = std::make_unique<Boxes>([this](const std::wstring& line) { Echo(line); });
}

Runner::~Runner() {
    Shutdown();
    if (g_runner == this) g_runner = nullptr;
}

Runner* Runner::Current() {
    return g_runner;
}

void Runner::WriteOut(HANDLE handle, const std::wstring& text) {
    const std::string bytes = StoredValue::Utf8FromWide(text + L"\r\n");
    DWORD written = 0;
    if (handle && handle != INVALID_HANDLE_VALUE) {
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    if (log_)
        WriteFile(log_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Runner::Echo(const std::wstring& line) {
    WriteOut(out_, line);
}

void Runner::ReportError(const std::wstring& message) {
    WriteOut(err_, message);
}

IUnknown* Runner::NamedItem(std::wstring_view name) {
    // The first use of any named item is the moment the form's load handler has to have run.
    EnsureMainLoad();
    IDispatch* object = nullptr;
    if (Host::MemberNameIs(name, L"Form")) {
        object = ObjectOf(*main_);
    } else if (Host::MemberNameIs(name, L"Host")) {
        object = host_.Get();
    } else if (Host::ControlSite* site = main_->FindSite(name)) {
        object = ObjectOf(*main_, *site);
    }
    if (object) object->AddRef();
    return object;
}

IDispatch* Runner::ObjectOf(Host::Form& form) {
    ComPtr<IDispatch>& object = formObjects_[&form];
    if (!object) object = NewFormObject(*this, form);
    return object.Get();
}

IDispatch* Runner::ObjectOf(Host::Form& form, Host::ControlSite& site) {
    ComPtr<IDispatch>& object = controlObjects_[site.Object()];
    if (!object) object = NewControlObject(*this, form, site);
    return object.Get();
}

void Runner::Forget(IUnknown* controlIdentity) {
    controlObjects_.erase(controlIdentity);
}

void Runner::RouteEvents(Host::Form& form, std::wstring prefix) {
    form.OnAnyEvent([this, prefix](Host::Event& event) { OnEvent(prefix, event); });
}

// `<control>_<Event>` for a control, `<prefix>_<Event>` for the form itself; by-reference
// arguments go to the script by reference and its changes come back.
void Runner::OnEvent(const std::wstring& prefix, Host::Event& event) {
    if (!engine_ || engine_->Failed()) return;
    const std::wstring name =
        (event.Source() ? event.Source()->Name() : prefix) + L"_" + std::wstring(event.Name());
    const size_t count = event.ArgCount();
    std::vector<Host::Variant> values;
    values.reserve(count);
    for (size_t i = 0; i < count; ++i)
        values.push_back(event.Arg(i));
    std::vector<VARIANT> args(count);
    for (size_t i = 0; i < count; ++i) {
        args[i].vt = VT_BYREF | VT_VARIANT;
        args[i].pvarVal = values[i].Ptr();
    }
    if (!engine_->CallIfDefined(name, args)) return;
    for (size_t i = 0; i < count; ++i) {
        if (Host::VariantsEqual(values[i].Get(), event.Arg(i).Get())) continue;
        try {
            event.SetArg(i, values[i]);
        } catch (const ControlError&) {
            // An argument passed by value: the handler's change stays with the handler.
        }
    }
    if (engine_->Failed()) Quit(1);
}

void Runner::RaiseLoad(const std::wstring& prefix) {
    if (!engine_) return;
    engine_->CallIfDefined(prefix + L"_Load", {});
    if (engine_->Failed()) Quit(1);
}

void Runner::EnsureMainLoad() {
    if (mainLoadRaised_ || !engine_ || !running_) return;
    mainLoadRaised_ = true;
    RaiseLoad(L"Form");
}

Host::Form& Runner::LoadForm(const std::wstring& path) {
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) ControlErrors::Raise(ControlErrors::kFileNotFound);
    std::unique_ptr<Host::Form> form;
    try {
        form = Host::Form::FromText(*text, StoredValue::Utf8FromWide(path));
    } catch (const Layout::LayoutError& e) {
        throw ControlError(ControlErrors::kInvalidPropertyValue, Describe(e));
    }
    Host::Form& ref = *form;
    const std::wstring prefix = ref.Name();
    RouteEvents(ref, prefix);
    ref.OnLoad([this, prefix] { RaiseLoad(prefix); });
    others_.push_back(std::move(form));
    try {
        ref.Load();
    } catch (const Layout::LayoutError& e) {
        throw ControlError(ControlErrors::kInvalidPropertyValue, Describe(e));
    }
    return ref;
}

bool Runner::AnyFormVisible() const {
    if (main_ && main_->Visible()) return true;
    for (const auto& form : others_) {
        if (form->Visible()) return true;
    }
    return false;
}

int Runner::Run() {
    const std::optional<std::string> bytes = ReadWholeFile(options_.script);
    if (!bytes) {
        ReportError(L"formscript: cannot read the script " + options_.script);
        return 2;
    }
    const std::optional<std::wstring> code = DecodeScript(*bytes);
    if (!code) {
        ReportError(L"formscript: " + options_.script +
                    L" is neither UTF-8 nor UTF-16 with a byte-order mark");
        return 2;
    }

    Layout::FormLayout layout = EmptyLayout();
    if (!options_.layout.empty()) {
        const std::optional<std::string> text = ReadWholeFile(options_.layout);
        if (!text) {
            ReportError(L"formscript: cannot read the layout " + options_.layout);
            return 2;
        }
        try {
            layout = Layout::Parse(*text, StoredValue::Utf8FromWide(options_.layout));
        } catch (const Layout::LayoutError& e) {
            ReportError(Describe(e));
            return 2;
        }
    }
    main_ = std::make_unique<Host::Form>(std::move(layout));
    RouteEvents(*main_, L"Form");
    // Loaded again after an unload: Form_Load runs again, as the first time.
    main_->OnLoad([this] {
        if (mainLoadRaised_) RaiseLoad(L"Form");
    });
    try {
        main_->Load();
    } catch (const Layout::LayoutError& e) {
        ReportError(Describe(e));
        return 2;
    } catch (const ControlError& e) {
        ReportError(L"formscript: " + e.Description());
        return 2;
    }

    try {
        host_ = NewHostObject(*this, *boxes_);
        engine_ = std::make_unique<ScriptEngine>(
            language_, [this](std::wstring_view name) { return NamedItem(name); },
            [this](const std::wstring& message) { ReportError(message); });
    } catch (const ControlError& e) {
        ReportError(L"formscript: " + e.Description());
        return 2;
    }
    engine_->AddItem(L"Form");
    engine_->AddItem(L"Host");
    for (Host::ControlSite* site : main_->Controls())
        engine_->AddItem(site->Name());

    running_ = true;
    if (!engine_->Run(*code)) return Finish(1);
    EnsureMainLoad();
    if (engine_->Failed()) return Finish(1);

    // A form left visible runs until it is closed.
    while (AnyFormVisible()) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return Finish(engine_->Failed() ? 1 : 0);
}

int Runner::Finish(int code) {
    Shutdown();
    return code;
}

void Runner::Quit(int code) {
    // Called from inside the script: nothing of it can be unwound from here, so the program
    // ends at once, with its output written.
    if (out_ && out_ != INVALID_HANDLE_VALUE) FlushFileBuffers(out_);
    if (err_ && err_ != INVALID_HANDLE_VALUE) FlushFileBuffers(err_);
    log_.Reset();
    OleFlushClipboard();
    ExitProcess(static_cast<UINT>(code));
}

void Runner::Shutdown() {
    // Data a rich edit window put on the clipboard is rendered now, while its library is still
    // loaded: flushed after the library has gone, it would fault.
    OleFlushClipboard();
    // The engine lets go of the script objects first; then the forms go.
    if (engine_) engine_->Close();
    controlObjects_.clear();
    formObjects_.clear();
    host_.Reset();
    engine_.reset();
    for (auto it = others_.rbegin(); it != others_.rend(); ++it)
        (*it)->Unload();
    others_.clear();
    if (main_) {
        main_->Unload();
        main_.reset();
    }
    boxes_.reset();
}

}  // namespace FormScript
