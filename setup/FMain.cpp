#include "setup/FMain.h"

#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "controls/richtext/RichTextBox.h"
#include "host/ControlTypes.h"
#include "setup/MResources.h"
#include "setup/MSetup.h"

namespace FMain {

namespace {

void RegisterControls() {
    ControlTypes::Register<CommandButtonW>(CommandButtonW::kTypeName);
    ControlTypes::Register<CheckBoxW>(CheckBoxW::kTypeName);
    ControlTypes::Register<RichTextBox>(RichTextBox::kTypeName);
}

void OnLoad(Host::Form& form) {
    const std::wstring addInPath = AddInPath();
    form.SetCaption(kTitle);
    form.ControlAs<CheckBoxW>(L"chbAgreement")
        .SetCaption(L"Я согласен с условиями лицензионного соглашения.");
    auto& ok = form.ControlAs<CommandButtonW>(L"cmdOk");
    ok.SetCaption(L"Установить / Обновить");
    ok.SetEnabled(false);
    form.ControlAs<CommandButtonW>(L"cmdCancel").SetCaption(L"Отмена установки");
    auto& remove = form.ControlAs<CommandButtonW>(L"cmdDelete");
    remove.SetCaption(L"Удалить надстройку");
    if (!NormalFileExists(addInPath)) remove.SetEnabled(false);
    auto& licence = form.ControlAs<RichTextBox>(L"rtbLicence");
    licence.SetTextRTF(MResources::LoadText(MResources::kLicence));
    licence.SetScrollBars(2);
    licence.SetLocked(true);
}

}  // namespace

std::wstring AddInPath() {
    std::wstring appData;
    if (const DWORD n = GetEnvironmentVariableW(L"APPDATA", nullptr, 0)) {
        appData.resize(n);
        appData.resize(GetEnvironmentVariableW(L"APPDATA", appData.data(), n));
    }
    return appData + L"\\Microsoft\\AddIns\\Paylevix.xla";
}

bool NormalFileExists(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return !(found.dwFileAttributes &
             (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
}

std::unique_ptr<Host::Form> Create() {
    RegisterControls();
    std::unique_ptr<Host::Form> form =
        Host::Form::FromResource(GetModuleHandleW(nullptr), kLayoutResource);
    Host::Form* self = form.get();
    form->OnLoad([self] { OnLoad(*self); });
    form->On(L"chbAgreement", L"Click", [self](Host::Event&) {
        const bool agreed = self->ControlAs<CheckBoxW>(L"chbAgreement").Value() == 1;
        self->ControlAs<CommandButtonW>(L"cmdOk").SetEnabled(agreed);
    });
    form->On(L"cmdOk", L"Click", [self](Host::Event&) {
        MSetup::InstallAddIn();
        self->Hide();
    });
    form->On(L"cmdDelete", L"Click", [self](Host::Event&) {
        MSetup::UninstallAddIn();
        self->Hide();
    });
    form->On(L"cmdCancel", L"Click", [self](Host::Event&) { self->Hide(); });
    return form;
}

}  // namespace FMain
