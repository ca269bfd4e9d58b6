// The host's values are the library's owned VARIANT (controls/base/Variant.h).
#pragma once

#include "controls/base/Variant.h"

namespace Host {
using ::Variant;
using ::VariantsEqual;
}  // namespace Host
