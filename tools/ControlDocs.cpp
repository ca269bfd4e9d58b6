// Writes the reference of every control type a layout can name, one Markdown file per control,
// from the tables the controls declare (members, events, persisted keys), so that the reference
// cannot drift from the code:
//   control_docs.exe <folder>
// The build's test control_docs_current compares the files with docs/controls/; the target
// control_docs writes them there.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "controls/AllControls.h"
#include "host/ControlDescription.h"
#include "host/ControlTypes.h"
#include "host/PropertyPage.h"

namespace {

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

const char* TypeName(VARTYPE type) {
    switch (type) {
        case VT_EMPTY:
            return "-";
        case VT_BOOL:
            return "Boolean";
        case VT_I2:
            return "Integer (16-bit)";
        case VT_I4:
            return "Long (32-bit)";
        case VT_R4:
            return "Single";
        case VT_R8:
            return "Double";
        case VT_BSTR:
            return "String";
        case VT_DISPATCH:
            return "Object";
        case VT_VARIANT:
            return "Variant";
        default:
            return "?";
    }
}

const char* StoredTypeName(Host::StoredType type) {
    switch (type) {
        case Host::StoredType::Boolean:
            return "Boolean";
        case Host::StoredType::Int16:
            return "Integer (16-bit)";
        case Host::StoredType::Int32:
            return "Long (32-bit)";
        case Host::StoredType::Single:
            return "Single";
        case Host::StoredType::OleColor:
            return "OLE colour";
        case Host::StoredType::String:
            return "String";
        case Host::StoredType::StringAsBytes:
            return "String, stored as its UTF-16LE bytes";
        case Host::StoredType::Font:
            return "Font";
        case Host::StoredType::Picture:
            return "Picture";
    }
    return "?";
}

std::string Default(const Host::StoredKey& key) {
    char text[32];
    switch (key.type) {
        case Host::StoredType::Boolean:
            return key.number != 0 ? "True" : "False";
        case Host::StoredType::OleColor:
            std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(key.number));
            return text;
        case Host::StoredType::String:
        case Host::StoredType::StringAsBytes:
            return key.text.empty() ? "empty" : "\"" + Utf8(key.text) + "\"";
        case Host::StoredType::Font:
        case Host::StoredType::Picture:
            return "none";
        default:
            std::snprintf(text, sizeof text, "%g", key.number);
            return text;
    }
}

// Standard identifiers are negative and read best as numbers; the library's own are bit
// fields and read best in hexadecimal.
std::string DispId(DISPID id) {
    char text[32];
    if (id > -1000 && id < 0x10000) {
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(id));
    } else {
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(id));
    }
    return text;
}

const char* AccessText(Host::Access access) {
    switch (access) {
        case Host::Access::ReadWrite:
            return "read and write";
        case Host::Access::ReadOnly:
            return "read only (assigning raises 383)";
        case Host::Access::ReadOnlyAtRunTime:
            return "read only at run time (assigning raises 382)";
        case Host::Access::WriteOnly:
            return "write only (reading raises 394)";
    }
    return "?";
}

std::string Arguments(const Host::Member& m) {
    std::string text;
    for (size_t i = 0; i < m.argumentTypes.size(); ++i) {
        if (i) text += ", ";
        if (i >= m.required) text += "[optional] ";
        if (m.outputs & (1u << i)) text += "ByRef ";
        text +=
            i < m.argumentNames.size() ? Utf8(m.argumentNames[i]) : "arg" + std::to_string(i + 1);
        text += std::string(" As ") + TypeName(m.argumentTypes[i]);
    }
    return text.empty() ? "-" : text;
}

void PropertyRows(std::string& out, const Host::ControlDescription& d) {
    for (const Host::Member& m : d.members) {
        if (m.isMethod) continue;
        const Host::StoredKey* key = d.FindKey(m.name);
        // An indexed property shows its indexes: SelTabs(Element As Integer (16-bit)).
        const std::string name =
            m.Indexed() ? Utf8(m.name) + "(" + Arguments(m) + ")" : Utf8(m.name);
        out += "| " + name + " | " + TypeName(m.type) + " | " + AccessText(m.access) + " | " +
               DispId(m.id) + " | " +
               (key ? "`" + Utf8(key->key) + "`, default " + Default(*key) : "not stored") + " |\n";
    }
}

std::string Document(const Host::ControlDescription& d) {
    const std::string name = Utf8(d.typeName);
    std::string out = "# " + name + "\n\n";
    out +=
        "Generated from the control's declared tables by `tools/ControlDocs.cpp`: do not edit.\n";
    out += "After changing a control, `bash tools/dev.sh docs` writes it again; the test\n";
    out += "`control_docs_current` fails while it is stale.\n\n";

    out += "## Properties\n\n| name | type | access | dispatch id | persisted key and default |\n";
    out += "|---|---|---|---|---|\n";
    PropertyRows(out, d);
    PropertyRows(out, Host::HostMembers());
    out += "\n`Enabled` is kept by the host for every control.\n\n";

    out += "## Methods\n\n";
    bool any = false;
    for (const Host::Member& m : d.members) {
        if (!m.isMethod) continue;
        if (!any) out += "| name | arguments | result | dispatch id |\n|---|---|---|---|\n";
        any = true;
        out += "| " + Utf8(m.name) + " | " + Arguments(m) + " | " + TypeName(m.type) + " | " +
               DispId(m.id) + " |\n";
    }
    out += any ? "\n" : "None.\n\n";

    out += "## Events\n\n";
    if (d.events.empty()) {
        out += "None.\n\n";
    } else {
        out += "| name | dispatch id | arguments |\n|---|---|---|\n";
        for (const Host::EventInfo& e : d.events) {
            std::string args;
            for (const Host::EventParameter& p : e.parameters) {
                if (!args.empty()) args += ", ";
                args +=
                    std::string(p.byRef ? "ByRef " : "") + Utf8(p.name) + " As " + TypeName(p.type);
            }
            out += "| " + Utf8(e.name) + " | " + DispId(e.id) + " | " +
                   (args.empty() ? "-" : args) + " |\n";
        }
        out += "\n";
    }

    out +=
        "## Persisted keys\n\nIn the order they are read and written; a value equal to its "
        "default is not written.\n\n";
    if (d.keys.empty()) {
        out += "None.\n";
    } else {
        out += "| key | stored as | default |\n|---|---|---|\n";
        for (const Host::StoredKey& k : d.keys)
            out +=
                "| `" + Utf8(k.key) + "` | " + StoredTypeName(k.type) + " | " + Default(k) + " |\n";
    }
    return out;
}

bool WriteFile(const std::wstring& path, const std::string& text) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: control_docs <folder>\n");
        return 2;
    }
    // The library's controls, and the host's own that property pages are built from.
    AllControls::Register();
    Host::RegisterHostControls();
    const std::wstring folder = std::wstring(argv[1]) + L"\\";
    for (const std::wstring& type : ControlTypes::Names()) {
        const Host::ControlDescription* d = ControlTypes::Describe(type);
        if (!d || !WriteFile(folder + type + L".md", Document(*d))) {
            std::fprintf(stderr, "control_docs: cannot write %s.md\n", Utf8(type).c_str());
            return 1;
        }
    }
    return 0;
}
