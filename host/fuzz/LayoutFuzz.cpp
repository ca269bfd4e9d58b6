// libFuzzer target for the layout parser: any input either parses or gives a LayoutError,
// and whatever parses survives the writer unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/Layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Layout::FormLayout form;
    try {
        form = Layout::Parse(text, "fuzz.layout");
    } catch (const Layout::LayoutError& e) {
        if (e.Line() < 1 || e.Column() < 1 || e.Message().empty()) std::abort();
        return 0;
    }
    const std::string written = Layout::Write(form);
    Layout::FormLayout again;
    try {
        again = Layout::Parse(written, "written.layout");
    } catch (const Layout::LayoutError& e) {
        std::fprintf(stderr, "written layout does not parse: %s\n%s\n", e.what(), written.c_str());
        std::abort();
    }
    if (!(again == form)) {
        std::fprintf(stderr, "round trip changed the layout:\n%s\n", written.c_str());
        std::abort();
    }
    if (Layout::Write(again) != written) std::abort();
    return 0;
}
