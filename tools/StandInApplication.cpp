#include "tools/StandInApplication.h"

#include <algorithm>
#include <vector>

#include "controls/base/Variant.h"
#include "tools/StandInAddIn.h"
#include "tools/StandInJournal.h"
#include "tools/StandInServer.h"

namespace {

enum : DISPID { kAddIns = 1, kPath, kQuit, kName };

constexpr StandInDispatch::Member kMembers[] = {
    {L"AddIns", kAddIns}, {L"Path", kPath}, {L"Quit", kQuit}, {L"Name", kName}};

constexpr wchar_t kProductName[] = L"Paylevix spreadsheet stand-in";

struct Listed {
    std::wstring name;  // file name without its extension
    std::wstring fullName;
};

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The add-ins the application lists: the workbooks (*.xla) of the add-ins folder, by name.
std::vector<Listed> ListAddIns(const std::wstring& folder) {
    std::vector<Listed> listed;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return listed;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring file = data.cFileName;
        // Matched by hand: a pattern would also match longer extensions through short names.
        if (file.size() <= 4 || !SameText(file.substr(file.size() - 4), L".xla")) continue;
        listed.push_back({file.substr(0, file.size() - 4), folder + L"\\" + file});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        return CompareStringOrdinal(a.name.c_str(), -1, b.name.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return listed;
}

}  // namespace

StandInApplication::StandInApplication() : StandInDispatch(kMembers) {
    StandInServer::SetApplication(static_cast<IDispatch*>(this));
}

StandInApplication::~StandInApplication() {
    StandInServer::SetApplication(nullptr);
    StandInJournal::Append(StandInConfig::Read().journal, L"release");
}

HRESULT StandInApplication::Serve(DISPID id, Call& call) {
    HRESULT hr = S_OK;
    if (id == kAddIns) return AddIns(call);
    if (id == kQuit) {
        if (!call.IsMethod()) return DISP_E_MEMBERNOTFOUND;
        if (FAILED(hr = call.CheckArguments(0))) return hr;
        if (FAILED(hr = call.Fault(L"Quit"))) return hr;
        StandInServer::Quit();
        return S_OK;
    }
    if (call.IsPut() || !call.IsGet()) return DISP_E_MEMBERNOTFOUND;
    if (FAILED(hr = call.CheckArguments(0))) return hr;
    if (FAILED(hr = call.Fault(id == kPath ? L"Path" : L"Name"))) return hr;
    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_BSTR;
    V_BSTR(&result) = SysAllocString(
        id == kPath ? StandInConfig::ProgramFolder(call.Settings()).c_str() : kProductName);
    call.SetResult(result);
    return S_OK;
}

HRESULT StandInApplication::AddIns(Call& call) {
    HRESULT hr = S_OK;
    if (call.IsPut() || !call.IsGet()) return DISP_E_MEMBERNOTFOUND;
    if (FAILED(hr = call.CheckArguments(1))) return hr;
    const std::wstring folder = StandInConfig::AddInsFolder(call.Settings());
    const std::vector<Listed> listed = ListAddIns(folder);
    const Listed* found = nullptr;
    std::wstring asked;
    VARIANT argument;
    if (IsNumberType(V_VT(&call.RawArgument(0)))) {
        // By position in the list, from 1.
        if (FAILED(hr = call.Argument(0, VT_I4, argument))) return hr;
        const LONG index = V_I4(&argument);
        asked = std::to_wstring(index);
        if (index >= 1 && static_cast<size_t>(index) <= listed.size()) found = &listed[index - 1];
    } else {
        if (FAILED(hr = call.Argument(0, VT_BSTR, argument))) return hr;
        asked = V_BSTR(&argument) ? V_BSTR(&argument) : L"";
        VariantClear(&argument);
        for (const Listed& item : listed) {
            if (SameText(item.name, asked) || SameText(item.name + L".xla", asked)) {
                found = &item;
                break;
            }
        }
    }
    call.Describe(L"(" + asked + L")");
    if (FAILED(hr = call.Fault(L"AddIns"))) return hr;
    if (!found)
        return call.Raise(StandInConfig::kAddInNotFound,
                          L"The add-in \"" + asked + L"\" is not in the add-ins folder " + folder);
    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_DISPATCH;
    V_DISPATCH(&result) = new StandInAddIn(found->name, found->fullName);
    call.SetResult(result);
    return S_OK;
}
