// The one IUnknown of the program's COM objects: which interfaces an object answers, through
// which pointer, and when it goes.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"

namespace {

class Probe final : public ComObject<IPropertyNotifySink, Also<IPersistStream, IPersist>> {
public:
    explicit Probe(bool& gone) : gone_(gone) {}
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

private:
    ~Probe() override { gone_ = true; }
    // An interface found elsewhere: the object's own IPersistStream stands in for it here.
    HRESULT QueryOther(REFIID iid, void** object) override {
        if (!IsEqualIID(iid, IID_IPersistStreamInit)) return E_NOINTERFACE;
        *object = static_cast<IPersistStream*>(this);
        AddRef();
        return S_OK;
    }
    bool& gone_;
};

TEST(ComObject, AnswersItsListAndGoesWithTheLastReference) {
    bool gone = false;
    auto object = ComPtr<Probe>::Attach(new Probe(gone));
    void* const sink = static_cast<IPropertyNotifySink*>(object.Get());
    void* const persist = static_cast<IPersistStream*>(object.Get());
    ASSERT_NE(sink, persist);
    const struct {
        const IID* iid;
        void* expected;  // null: refused
    } cases[] = {
        {&IID_IUnknown, sink},
        {&IID_IPropertyNotifySink, sink},
        {&IID_IPersistStream, persist},
        {&IID_IPersist, persist},
        {&IID_IPersistStreamInit, persist},
        {&IID_IDispatch, nullptr},
    };
    for (const auto& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        const HRESULT hr = object->QueryInterface(*c.iid, &out);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(hr, c.expected ? S_OK : E_NOINTERFACE);
        if (out) static_cast<IUnknown*>(out)->Release();
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // Every reference handed out counts; the last one deletes the object.
    IUnknown* extra = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&extra)), S_OK);
    object.Reset();
    EXPECT_FALSE(gone);
    EXPECT_EQ(extra->Release(), 0u);
    EXPECT_TRUE(gone);
}

}  // namespace
