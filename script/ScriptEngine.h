// ScriptEngine: one of the system's Active Scripting engines (VBScript, JScript) with our site.
//
// The site hands out the named items on request and reports script errors that the script
// does not handle itself, with their position, through the error callback: the engines tell
// nobody else (a host that does not listen sees a script simply stop).
#pragma once

#include <windows.h>
#include <activscp.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "controls/base/ComPtr.h"

namespace FormScript {

enum class Language { VBScript, JScript };

// By the script file's extension (".vbs", ".js"); none for any other.
std::optional<Language> LanguageOfFile(std::wstring_view path);

// Script text from a file's bytes: UTF-16 (little or big endian) with a byte-order mark, else
// UTF-8 with or without one. Malformed UTF-8 is refused (nullopt).
std::optional<std::wstring> DecodeScript(std::string_view bytes);

// "SCRIPT(line, column): description (number)": line and column from 1; the number as the
// script sees it (Err.Number) for numbered errors, else the HRESULT in hexadecimal.
std::wstring FormatScriptError(long line, long column, const std::wstring& description,
                               HRESULT code);

class ScriptEngine {
public:
    // The object behind a named item (AddRef'd), or null when there is none.
    using ItemSource = std::function<IUnknown*(std::wstring_view name)>;
    using ErrorSink = std::function<void(const std::wstring& message)>;

    // ControlError 429 when the engine cannot be created.
    ScriptEngine(Language language, ItemSource items, ErrorSink errors);
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    Language GetLanguage() const { return language_; }
    void AddItem(const std::wstring& name);
    // Runs the script's top-level code; false when an error stopped it (already reported).
    bool Run(const std::wstring& code);
    // Calls the script's procedure `name` when it defines one; false when it does not. By-
    // reference arguments are VT_BYREF | VT_VARIANT. An error the procedure does not handle
    // is reported and sets Failed().
    bool CallIfDefined(const std::wstring& name, std::span<VARIANT> args);
    bool Failed() const { return failed_; }
    // Ends the engine: it lets go of every object it holds.
    void Close();

private:
    class Site;
    void Report(const std::wstring& message);

    Language language_;
    ItemSource items_;
    ErrorSink errors_;
    ComPtr<IActiveScript> engine_;
    ComPtr<Site> site_;
    ComPtr<IDispatch> global_;
    bool failed_ = false;
    int errorsReported_ = 0;
};

}  // namespace FormScript
