#include "controls/AllControls.h"

#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "controls/buttons/ImageList.h"
#include "controls/label/LabelW.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/page/PPRichTextBoxGeneral.h"
#include "host/ControlTypes.h"
#include "host/PropertyPage.h"

namespace AllControls {

void Register() {
    ControlTypes::Register<CommandButtonW>(CommandButtonW::kTypeName);
    ControlTypes::Register<CheckBoxW>(CheckBoxW::kTypeName);
    ControlTypes::Register<ImageList>(ImageList::kTypeName);
    ControlTypes::Register<RichTextBox>(RichTextBox::kTypeName);
    ControlTypes::Register<LabelW>(LabelW::kTypeName);
    // The host's own text box and list, which the property pages are built from.
    Host::RegisterHostControls();
    PPRichTextBoxGeneral::Register();
}

}  // namespace AllControls
