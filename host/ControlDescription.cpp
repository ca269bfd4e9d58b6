#include "host/ControlDescription.h"

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/ControlSite.h"
#include "host/DispatchCall.h"
#include "host/HostedControl.h"
#include "host/PropertyStore.h"

namespace Host {

namespace {

const Member kHostMembers[] = {
    Property<&HostedControl::Enabled, &HostedControl::SetEnabled>(L"Enabled", kDispIdEnabled),
};

const Member* Find(const HostedControl& control, DISPID id) {
    if (const Member* m = control.Describe().FindMember(id)) return m;
    return HostMembers().FindMember(id);
}

HRESULT Invoke(HostedControl& control, const Member& member, WORD flags, DISPPARAMS& params,
               VARIANT* result, UINT* argError) {
    const bool assign = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    Variant discarded;
    VARIANT& out = result ? *result : discarded.Get();
    const DispatchCall::Signature signature{member.argumentTypes, member.required, member.outputs};
    DispatchCall::Arguments args;

    if (member.isMethod) {
        if (assign) return DISP_E_MEMBERNOTFOUND;
        if (HRESULT hr = args.Take(params, false, signature, argError); FAILED(hr)) return hr;
        member.call(control, args.Values(), out);
        return args.WriteBack(params, member.outputs, argError);
    }

    if (assign) {
        if (HRESULT hr = args.Take(params, true, signature, argError); FAILED(hr)) return hr;
        CheckAssignment(control, member);
        Variant value;
        if (HRESULT hr = DispatchCall::AssignedValue(params, member.type, value, argError);
            FAILED(hr)) {
            return hr;
        }
        if (member.Indexed()) {
            member.putAt(control, args.Values(), value.Get());
        } else {
            member.put(control, value.Get());
        }
        return S_OK;
    }
    if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
    if (HRESULT hr = args.Take(params, false, signature, argError); FAILED(hr)) return hr;
    if (member.access == Access::WriteOnly) ControlErrors::Raise(ControlErrors::kWriteOnly);
    if (member.Indexed()) {
        member.call(control, args.Values(), out);
    } else {
        member.get(control, out);
    }
    return S_OK;
}

}  // namespace

bool MemberNameIs(std::wstring_view name, std::wstring_view member) {
    return CompareStringOrdinal(name.data(), static_cast<int>(name.size()), member.data(),
                                static_cast<int>(member.size()), TRUE) == CSTR_EQUAL;
}

const Member* ControlDescription::FindMember(std::wstring_view name) const {
    for (const Member& m : members)
        if (MemberNameIs(name, m.name)) return &m;
    return nullptr;
}

const Member* ControlDescription::FindMember(DISPID id) const {
    for (const Member& m : members)
        if (m.id == id) return &m;
    return nullptr;
}

const EventInfo* ControlDescription::FindEvent(std::wstring_view name) const {
    for (const EventInfo& e : events)
        if (MemberNameIs(name, e.name)) return &e;
    return nullptr;
}

const StoredKey* ControlDescription::FindKey(std::wstring_view key) const {
    for (const StoredKey& k : keys)
        if (k.key == key) return &k;
    return nullptr;
}

const ControlDescription& HostedControl::Describe() const {
    static const ControlDescription none{};
    return none;
}

const ControlDescription& HostMembers() {
    static const ControlDescription host{L"", kHostMembers, {}, {}};
    return host;
}

void RequireDesignTime(const HostedControl& control, std::wstring_view propertyName) {
    if (control.Sited() && control.Site().GetAmbient().UserMode()) {
        ControlErrors::RaiseReadOnlyAtRunTime(std::wstring(propertyName));
    }
}

void CheckAssignment(const HostedControl& control, const Member& member) {
    if (member.isMethod || member.access == Access::ReadOnly || (!member.put && !member.putAt)) {
        ControlErrors::Raise(ControlErrors::kReadOnly);
    }
    if (member.access == Access::ReadOnlyAtRunTime) RequireDesignTime(control, member.name);
}

HRESULT DispatchIdsOfNames(const HostedControl& control, LPOLESTR* names, UINT count, DISPID* ids) {
    return DispatchCall::IdsOfNames(names, count, ids, [&](std::wstring_view name) -> DISPID {
        const Member* m = control.Describe().FindMember(name);
        if (!m) m = HostMembers().FindMember(name);
        return m ? m->id : DISPID_UNKNOWN;
    });
}

HRESULT DispatchInvoke(HostedControl& control, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    const Member* member = Find(control, id);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{};
    return DispatchCall::Run(result, exception, [&] {
        return Invoke(control, *member, flags, params ? *params : none, result, argError);
    });
}

// ---- stored keys ----------------------------------------------------------------------------

Variant StoredKey::Default() const {
    switch (type) {
        case StoredType::Boolean:
            return Variant::Bool(number != 0);
        case StoredType::Int16:
            return Variant::Int16(static_cast<int16_t>(number));
        case StoredType::Int32:
            return Variant::Int32(static_cast<int32_t>(number));
        case StoredType::OleColor:
            return Variant::Int32(static_cast<int32_t>(static_cast<uint32_t>(number)));
        case StoredType::Single:
            return Variant::Float(static_cast<float>(number));
        case StoredType::String:
            return Variant::String(text);
        case StoredType::StringAsBytes:
            return Common::StrToVar(std::wstring(text));
        case StoredType::Font:
        case StoredType::Picture:
            break;
    }
    return {};
}

namespace {
template <class I>
ComPtr<I> StoredObjectOf(const Variant& value, REFIID iid) {
    const VARIANT& v = value.Get();
    IUnknown* object = v.vt == VT_DISPATCH ? v.pdispVal : v.vt == VT_UNKNOWN ? v.punkVal : nullptr;
    ComPtr<I> result;
    if (object) object->QueryInterface(iid, result.PutVoid());
    return result;
}
}  // namespace

ComPtr<IFontDisp> StoredKey::ReadFont(const PropertyStore& store) const {
    return StoredObjectOf<IFontDisp>(Read(store), IID_IFontDisp);
}

ComPtr<IPictureDisp> StoredKey::ReadPicture(const PropertyStore& store) const {
    return StoredObjectOf<IPictureDisp>(Read(store), IID_IPictureDisp);
}

Variant StoredKey::Read(const PropertyStore& store) const {
    return store.Read(key, Default());
}
bool StoredKey::ReadBool(const PropertyStore& store) const {
    return Read(store).ToBool();
}
int16_t StoredKey::ReadInt16(const PropertyStore& store) const {
    return Read(store).ToInt16();
}
int32_t StoredKey::ReadInt32(const PropertyStore& store) const {
    return Read(store).ToInt32();
}
float StoredKey::ReadSingle(const PropertyStore& store) const {
    return Read(store).ToFloat();
}
std::wstring StoredKey::ReadString(const PropertyStore& store) const {
    if (!store.Contains(key)) return std::wstring(text);
    return Common::VarToStr(store.Read(key).Get());
}

void StoredKey::Write(PropertyStore& store, const Variant& value) const {
    store.Write(key, value, Default());
}

void StoredKey::WriteString(PropertyStore& store, std::wstring_view value) const {
    const std::wstring s(value);
    Write(store, type == StoredType::StringAsBytes ? Common::StrToVar(s) : Variant::String(s));
}

}  // namespace Host
