#include "host/TypeInfo.h"

#include "controls/base/ComObject.h"

namespace Host {

namespace {

class NamedType final : public ComObject<ITypeInfo> {
public:
    explicit NamedType(std::wstring name) : name_(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attr) override {
        if (!attr) return E_POINTER;
        *attr = static_cast<TYPEATTR*>(CoTaskMemAlloc(sizeof(TYPEATTR)));
        if (!*attr) return E_OUTOFMEMORY;
        **attr = TYPEATTR{};
        (*attr)->lcid = LOCALE_NEUTRAL;
        (*attr)->memidConstructor = MEMBERID_NIL;
        (*attr)->memidDestructor = MEMBERID_NIL;
        (*attr)->typekind = TKIND_COCLASS;
        return S_OK;
    }
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attr) override { CoTaskMemFree(attr); }
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context,
                                               BSTR* helpFile) override {
        if (doc) *doc = nullptr;
        if (context) *context = 0;
        if (helpFile) *helpFile = nullptr;
        if (name) *name = nullptr;
        if (id != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
        if (name && !(*name = SysAllocString(name_.c_str()))) return E_OUTOFMEMORY;
        return S_OK;
    }

    // No members are described: callers reach them through IDispatch.
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override { return None(comp); }
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC** desc) override { return None(desc); }
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC** desc) override { return None(desc); }
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID, BSTR*, UINT, UINT* count) override {
        if (count) *count = 0;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE* type) override {
        if (type) *type = 0;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT* flags) override {
        if (flags) *flags = 0;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, MEMBERID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR* dll, BSTR* name,
                                          WORD* ordinal) override {
        if (dll) *dll = nullptr;
        if (name) *name = nullptr;
        if (ordinal) *ordinal = 0;
        return TYPE_E_BADMODULEKIND;
    }
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo** info) override {
        return None(info);
    }
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID* address) override {
        return None(address);
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID* object) override {
        return None(object);
    }
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR* mops) override { return None(mops); }
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
        if (index) *index = 0;
        return None(lib);
    }
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}

private:
    ~NamedType() = default;
    template <class T>
    static HRESULT None(T** out) {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

    std::wstring name_;
};

}  // namespace

ComPtr<ITypeInfo> NamedTypeInfo(std::wstring name) {
    return ComPtr<ITypeInfo>::Attach(new NamedType(std::move(name)));
}

}  // namespace Host
