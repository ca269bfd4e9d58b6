// Runner: formscript.exe's program: a form (from a stored layout, or an empty one), a script
// on one of the system's engines, and the named items Form, Host and every control between
// them.
//
//   formscript.exe [/log FILE] [LAYOUT] SCRIPT [ARGS...]
//
// Order: the form is loaded (controls created and read from the layout); the script's
// top-level code runs, and Form_Load runs as soon as that code first asks for one of the
// named items (or when it returns without having asked). Then the program waits while a
// form is visible. Exit code: 0, 1 after a script error the script did not handle, 2 for a
// bad command line or file, or the code given to Host.Quit.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "host/Events.h"
#include "host/Form.h"
#include "script/Boxes.h"
#include "script/ScriptEngine.h"
#include "script/ScriptObject.h"

namespace FormScript {

struct Options {
    std::wstring log;
    std::wstring layout;
    std::wstring script;
    std::vector<std::wstring> arguments;
};

// A whole file (at most as large as a layout may be); nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::wstring& path);

// The command line after the program's name; nullopt (with `error` set) when it is unusable.
std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& args, std::wstring& error);

class Runner {
public:
    explicit Runner(Options options);
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Runs everything and returns the exit code.
    int Run();

    // --- for the script objects ------------------------------------------------------------
    const Options& GetOptions() const { return options_; }
    Language ScriptLanguage() const { return language_; }
    // One line to standard output and the log.
    void Echo(const std::wstring& line);
    // Ends the program now with `code`: output flushed, the engine and the forms gone.
    [[noreturn]] void Quit(int code);
    // The script object of a form or a control (the same object each time).
    IDispatch* ObjectOf(Host::Form& form);
    IDispatch* ObjectOf(Host::Form& form, Host::ControlSite& site);
    // A form loaded from a stored layout file, its events going to the script.
    Host::Form& LoadForm(const std::wstring& path);
    // Forgets the script object of a removed control.
    void Forget(IUnknown* controlIdentity);
    // The runner of this thread (for hook and timer procedures).
    static Runner* Current();

private:
    void WriteOut(HANDLE handle, const std::wstring& text);
    void ReportError(const std::wstring& message);
    IUnknown* NamedItem(std::wstring_view name);
    void RouteEvents(Host::Form& form, std::wstring prefix);
    void OnEvent(const std::wstring& prefix, Host::Event& event);
    void RaiseLoad(const std::wstring& prefix);
    void EnsureMainLoad();
    bool AnyFormVisible() const;
    void Shutdown();
    int Finish(int code);

    Options options_;
    Language language_ = Language::VBScript;
    std::unique_ptr<Boxes> boxes_;
    HANDLE out_ = nullptr;
    HANDLE err_ = nullptr;
    UniqueHandle<HANDLE, HandleTraits::File> log_;
    std::unique_ptr<Host::Form> main_;
    std::vector<std::unique_ptr<Host::Form>> others_;
    std::unique_ptr<ScriptEngine> engine_;
    ComPtr<IDispatch> host_;
    std::map<Host::Form*, ComPtr<IDispatch>> formObjects_;
    std::map<IUnknown*, ComPtr<IDispatch>> controlObjects_;
    bool running_ = false;  // the top-level code has started
    bool mainLoadRaised_ = false;
};

}  // namespace FormScript
