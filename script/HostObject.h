// HostObject: the script's Host item: output, input as a person gives it, dialog answers,
// pictures, more forms, the command line, and window facts a person would check by looking.
#pragma once

#include "controls/base/ComPtr.h"
#include "script/ScriptObject.h"

namespace FormScript {

class Runner;
class Boxes;

ComPtr<IDispatch> NewHostObject(Runner& runner, Boxes& boxes);

}  // namespace FormScript
