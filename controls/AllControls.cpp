#include "controls/AllControls.h"

#include "controls/buttons/CheckBoxW.h"
#include "controls/buttons/CommandButtonW.h"
#include "controls/buttons/ImageList.h"
#include "controls/label/LabelW.h"
#include "controls/richtext/RichTextBox.h"
#include "host/ControlTypes.h"

namespace AllControls {

void Register() {
    ControlTypes::Register<CommandButtonW>(CommandButtonW::kTypeName);
    ControlTypes::Register<CheckBoxW>(CheckBoxW::kTypeName);
    ControlTypes::Register<ImageList>(ImageList::kTypeName);
    ControlTypes::Register<RichTextBox>(RichTextBox::kTypeName);
    ControlTypes::Register<LabelW>(LabelW::kTypeName);
}

}  // namespace AllControls
