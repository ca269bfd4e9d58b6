#include "controls/AllControls.h"

#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "controls/buttons/ImageList.h"
#include "controls/dialogs/CommonDialog.h"
#include "controls/label/LabelW.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/page/PPRichTextBoxGeneral.h"
#include "host/ControlTypes.h"

namespace AllControls {

void Register() {
    ControlTypes::Register<CommandButtonW>(CommandButtonW::kTypeName);
    ControlTypes::Register<CheckBoxW>(CheckBoxW::kTypeName);
    ControlTypes::Register<ImageList>(ImageList::kTypeName);
    ControlTypes::Register<RichTextBox>(RichTextBox::kTypeName);
    ControlTypes::Register<LabelW>(LabelW::kTypeName);
    ControlTypes::Register<CommonDialog>(CommonDialog::kTypeName);
    // Its pages build their forms from these and the host's own text box and list, which
    // the host registers when a page is shown.
    PPRichTextBoxGeneral::Register();
}

}  // namespace AllControls
