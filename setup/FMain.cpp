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
    form.SetCaption(kTitle);
    form.ControlAs<CheckBoxW>(L"chbAgreement")
        .SetCaption(L"Я согласен с условиями лицензионного соглашения.");
    auto& ok = form.ControlAs<CommandButtonW>(L"cmdOk");
    ok.SetCaption(L"Установить / Обновить");
    ok.SetEnabled(false);
    form.ControlAs<CommandButtonW>(L"cmdCancel").SetCaption(L"Отмена установки");
    auto& remove = form.ControlAs<CommandButtonW>(L"cmdDelete");
    remove.SetCaption(L"Удалить надстройку");
    if (!MSetup::AddInPresent()) remove.SetEnabled(false);
    auto& licence = form.ControlAs<RichTextBox>(L"rtbLicence");
    licence.SetTextRTF(MResources::LoadText(MResources::kLicence));
    licence.SetScrollBars(2);
    licence.SetLocked(true);
}

}  // namespace

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
