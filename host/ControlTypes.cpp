#include "host/ControlTypes.h"

#include <map>

#include "host/ControlDescription.h"

namespace ControlTypes {

namespace {

std::map<std::wstring, Factory, std::less<>>& Registry() {
    static std::map<std::wstring, Factory, std::less<>> registry;
    return registry;
}

}  // namespace

void Register(std::wstring_view typeName, Factory factory) {
    Registry()[std::wstring(typeName)] = std::move(factory);
}

bool IsRegistered(std::wstring_view typeName) {
    return Registry().find(typeName) != Registry().end();
}

std::unique_ptr<Host::HostedControl> Create(std::wstring_view typeName) {
    auto it = Registry().find(typeName);
    if (it == Registry().end() || !it->second) return nullptr;
    return it->second();
}

const Host::ControlDescription* Describe(std::wstring_view typeName) {
    // Descriptions are static: an unsited instance is enough to reach one.
    const auto control = Create(typeName);
    return control ? &control->Describe() : nullptr;
}

std::vector<std::wstring> Names() {
    std::vector<std::wstring> names;
    for (const auto& entry : Registry())
        names.push_back(entry.first);
    return names;
}

}  // namespace ControlTypes
