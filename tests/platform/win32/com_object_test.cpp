// The shared IUnknown of the stand-in objects: identities, the count's life and a release that
// re-enters from the object's own teardown.
#include <platform/win32/com_object.h>

#include <gtest/gtest.h>

namespace {

const IID kNamedId = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
const IID kOtherId = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 9}};

int destroyed = 0;
ULONG teardownRelease = 99;

class Named : public platform::ComObject<IUnknown, &kNamedId> {
  protected:
    ~Named() override { ++destroyed; }
};

class Anonymous : public platform::ComObject<IUnknown> {
  public:
    bool releaseInTeardown = false;

  protected:
    ~Anonymous() override {
        if (releaseInTeardown) teardownRelease = Release();
        ++destroyed;
    }
};

TEST(ComObject, HandsOutOnlyItsNamedInterfacesEachWithAReference) {
    destroyed = 0;
    auto* named = new Named;
    void* out = &out;
    EXPECT_EQ(named->QueryInterface(kNamedId, &out), S_OK);
    EXPECT_EQ(out, static_cast<IUnknown*>(named));
    out = &out;
    EXPECT_EQ(named->QueryInterface(kOtherId, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(named->QueryInterface(kNamedId, nullptr), E_POINTER);

    auto* anonymous = new Anonymous;
    out = &out;
    EXPECT_EQ(anonymous->QueryInterface(kNamedId, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    EXPECT_EQ(named->AddRef(), 3u); // born with one, one from the query
    EXPECT_EQ(named->Release(), 2u);
    EXPECT_EQ(named->Release(), 1u);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(named->Release(), 0u);
    EXPECT_EQ(anonymous->Release(), 0u);
    EXPECT_EQ(destroyed, 2);
}

// The teardown's own Release finds the count at zero: it answers 0 and deletes nothing again.
TEST(ComObject, AReleaseDuringTeardownIsHarmless) {
    destroyed = 0;
    auto* object = new Anonymous;
    object->releaseInTeardown = true;
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(teardownRelease, 0u);
    EXPECT_EQ(destroyed, 1);
}

} // namespace
