#include "controls/base/FontWatch.h"

#include <olectl.h>

#include <utility>

#include "controls/base/ComObject.h"

class FontWatch::Sink final : public ComObject<IPropertyNotifySink> {
public:
    explicit Sink(std::function<void()> changed) : changed_(std::move(changed)) {}

    void Connect(IUnknown* font) {
        ComPtr<IUnknown> identity;
        if (font) font->QueryInterface(IID_IUnknown, identity.PutVoid());
        if (identity.Get() == font_.Get()) return;
        Disconnect();
        ComPtr<IConnectionPointContainer> container;
        if (!identity ||
            FAILED(identity->QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) ||
            FAILED(container->FindConnectionPoint(IID_IPropertyNotifySink, point_.Put())) ||
            FAILED(point_->Advise(this, &cookie_))) {
            point_.Reset();
            return;
        }
        font_ = std::move(identity);
    }
    void Disconnect() {
        if (point_) point_->Unadvise(cookie_);
        point_.Reset();
        font_.Reset();
        cookie_ = 0;
    }
    // The owner goes: no call reaches it any more.
    void Detach() {
        Disconnect();
        changed_ = nullptr;
    }

    HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override {
        // A copy: the callback may stop or replace this watch.
        if (std::function<void()> changed = changed_) changed();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

private:
    ~Sink() override = default;
    std::function<void()> changed_;
    ComPtr<IConnectionPoint> point_;
    ComPtr<IUnknown> font_;  // the identity of the font connected to
    DWORD cookie_ = 0;
};

FontWatch::FontWatch(std::function<void()> changed)
    : sink_(ComPtr<Sink>::Attach(new Sink(std::move(changed)))) {}

FontWatch::~FontWatch() {
    sink_->Detach();
}

void FontWatch::Watch(IUnknown* font) {
    sink_->Connect(font);
}

void FontWatch::Stop() {
    sink_->Disconnect();
}
