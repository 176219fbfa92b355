// The IUnknown half of every stand-in object: one reference count, one QueryInterface.
// An object is born holding one reference and deletes itself when the last one goes.
// A Release on a count already at zero does nothing and answers 0: only an object that is being
// torn down sees that (its own teardown releasing it again), and it must not be deleted twice.
#pragma once

#include <windows.h>

namespace platform {

// `Identities` are the interfaces QueryInterface hands out, the object itself each time. The
// stand-ins name them only where the real interface has an identifier a program asks for
// (IDirectInput8A); everything else answers E_NOINTERFACE.
template <class Interface, const IID*... Identities> class ComObject : public Interface {
  public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!((riid == *Identities) || ...)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<Interface*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        if (references_ == 0) return 0;
        const ULONG left = --references_;
        if (left == 0 && !KeepAfterLastRelease()) delete this;
        return left;
    }

  protected:
    ~ComObject() override = default;

    // An object that recycles itself (a pooled buffer) answers true here and is not deleted;
    // it is then handed out again through ResetReferences.
    virtual bool KeepAfterLastRelease() { return false; }
    void ResetReferences() { references_ = 1; }
    ULONG References() const { return references_; }

  private:
    ULONG references_ = 1;
};

} // namespace platform
