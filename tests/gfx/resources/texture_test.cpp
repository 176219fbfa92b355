// Textures owned by one object and the shared texture cache, on the recording device with the
// real image loading: log lines in order, sharing, retries and hand-backs.
#include "gfx/resources/texture_cache.h"
#include "gfx/resources/texture_resource.h"

#include "tests/support/program/resource_fixture.h"

#include <gtest/gtest.h>

using testsupport::RecordingTexture;

namespace {

class TextureTest : public testsupport::ResourceTest {
  protected:
    void SetUp() override {
        folder.CopyData("ground.png");
        folder.CopyData("almi.png");
    }

    int CacheEntries() const {
        int n = 0;
        for (TextureCacheEntry* e = textureCache.head; e != nullptr; e = e->next)
            ++n;
        return n;
    }
};

TEST_F(TextureTest, LoadCreatesOneManagedArgbTextureOfTheImageSize) {
    TextureResource texture;
    ASSERT_TRUE(texture.Load("ground.png", 0, 1));
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\n");
    ASSERT_NE(texture.texture, nullptr);
    EXPECT_EQ(texture.name, "ground.png");
    auto created = device.CallsNamed("CreateTexture");
    ASSERT_EQ(created.size(), 1u);
    // width, height, levels, usage, format, pool
    EXPECT_EQ(created[0]->args,
              (std::vector<int64_t>{256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}));

    auto* held = static_cast<RecordingTexture*>(texture.texture);
    texture.Release();
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\nrelease(ground.png)\n");
    EXPECT_EQ(held->refCount, 0);
    EXPECT_EQ(texture.texture, nullptr);
    EXPECT_TRUE(texture.name.empty());

    // An empty object releases silently, however often.
    texture.Release();
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\nrelease(ground.png)\n");
}

TEST_F(TextureTest, MissingOrCorruptFileFailsButKeepsTheNameForItsRelease) {
    testsupport::WriteFile("broken.png", std::string("\x89PNG\r\n\x1a\n garbage", 17));
    {
        TextureResource missing;
        EXPECT_FALSE(missing.Load("missing.png", 0, 1));
        EXPECT_EQ(missing.texture, nullptr);
        EXPECT_EQ(missing.name, "missing.png");

        TextureResource broken;
        EXPECT_FALSE(broken.Load("broken.png", 0, 1));
        EXPECT_EQ(broken.texture, nullptr);
    } // destructors release in reverse order of construction
    EXPECT_EQ(log.text(), "load(missing.png) ... failed.\n"
                          "load(broken.png) ... failed.\n"
                          "release(broken.png)\n"
                          "release(missing.png)\n");
    EXPECT_EQ(device.LiveTextures(), 0u);
}

TEST_F(TextureTest, ReloadWritesTheOldReleaseBeforeTheNewLoad) {
    TextureResource texture;
    ASSERT_TRUE(texture.Load("ground.png", 0, 1));
    auto* first = static_cast<RecordingTexture*>(texture.texture);
    ASSERT_TRUE(texture.Load("almi.png", 0, 1));
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\n"
                          "release(ground.png)\n"
                          "load(almi.png) ... ok.\n");
    EXPECT_EQ(first->refCount, 0);
    EXPECT_EQ(device.LiveTextures(), 1u);
}

TEST_F(TextureTest, CacheLoadsOnceAndReleasesOnTheLastHandBack) {
    IDirect3DTexture8* a = textureCache.Acquire("ground.png", 0, 1);
    IDirect3DTexture8* b = textureCache.Acquire("ground.png", 0, 1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\n");
    EXPECT_EQ(device.CountOf("CreateTexture"), 1u);
    ASSERT_EQ(CacheEntries(), 1);
    EXPECT_EQ(textureCache.head->refCount, 2);

    textureCache.Release(a);
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\n");
    EXPECT_EQ(static_cast<RecordingTexture*>(a)->refCount, 1);

    textureCache.Release(b);
    EXPECT_EQ(log.text(), "load(ground.png) ... ok.\nrelease(ground.png)\n");
    EXPECT_EQ(static_cast<RecordingTexture*>(a)->refCount, 0);
    EXPECT_EQ(textureCache.head, nullptr);
}

TEST_F(TextureTest, CacheKeepsTheFirstLoadsColourKeyAndMipLevels) {
    IDirect3DTexture8* first = textureCache.Acquire("almi.png", 0, 1);
    IDirect3DTexture8* second = textureCache.Acquire("almi.png", 0xFFFF0000, 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(device.CountOf("CreateTexture"), 1u);
    EXPECT_EQ(static_cast<RecordingTexture*>(first)->levels.size(), 1u);
    textureCache.Release(first);
    textureCache.Release(second);
}

TEST_F(TextureTest, NamesThatDifferOnlyInCaseAreDifferentEntries) {
    folder.CopyData("almi.png", "Almi.png");
    IDirect3DTexture8* lower = textureCache.Acquire("almi.png", 0, 1);
    IDirect3DTexture8* upper = textureCache.Acquire("Almi.png", 0, 1);
    ASSERT_NE(lower, nullptr);
    ASSERT_NE(upper, nullptr);
    EXPECT_NE(lower, upper);
    EXPECT_EQ(CacheEntries(), 2);
    EXPECT_EQ(log.text(), "load(almi.png) ... ok.\nload(Almi.png) ... ok.\n");
    // A name that is a prefix of another is not the same name either.
    EXPECT_EQ(textureCache.Acquire("almi.pn", 0, 1), nullptr);
    textureCache.Release(upper);
    textureCache.Release(lower);
    EXPECT_EQ(log.text(), "load(almi.png) ... ok.\nload(Almi.png) ... ok.\n"
                          "load(almi.pn) ... failed.\n"
                          "release(Almi.png)\nrelease(almi.png)\n");
}

TEST_F(TextureTest, FailedAcquireAddsNothingAndIsRetriedNextTime) {
    EXPECT_EQ(textureCache.Acquire("later.png", 0, 1), nullptr);
    EXPECT_EQ(textureCache.head, nullptr);
    EXPECT_EQ(textureCache.Acquire("later.png", 0, 1), nullptr);
    EXPECT_EQ(log.text(), "load(later.png) ... failed.\nload(later.png) ... failed.\n");

    // Once the file is there, the next request loads it.
    folder.CopyData("almi.png", "later.png");
    IDirect3DTexture8* texture = textureCache.Acquire("later.png", 0, 1);
    ASSERT_NE(texture, nullptr);
    textureCache.Release(texture);
}

TEST_F(TextureTest, ReleasingNullOrAForeignTextureIsIgnored) {
    IDirect3DTexture8* held = textureCache.Acquire("ground.png", 0, 1);
    log.Clear();
    textureCache.Release(nullptr);
    IDirect3DTexture8* foreign = nullptr;
    ASSERT_EQ(device.CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &foreign), D3D_OK);
    textureCache.Release(foreign);
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(static_cast<RecordingTexture*>(foreign)->refCount, 1);
    ASSERT_EQ(CacheEntries(), 1);
    EXPECT_EQ(textureCache.head->refCount, 1);
    textureCache.Release(held);
}

TEST_F(TextureTest, EntriesLeaveFromTheHeadTheMiddleAndTheEnd) {
    folder.CopyData("almi.png", "c.png");
    IDirect3DTexture8* a = textureCache.Acquire("ground.png", 0, 1);
    IDirect3DTexture8* b = textureCache.Acquire("almi.png", 0, 1);
    IDirect3DTexture8* c = textureCache.Acquire("c.png", 0, 1);
    ASSERT_EQ(CacheEntries(), 3);
    log.Clear();

    textureCache.Release(b); // in the middle of the list
    EXPECT_EQ(CacheEntries(), 2);
    EXPECT_EQ(textureCache.Acquire("ground.png", 0, 1), a); // the rest still reachable
    EXPECT_EQ(textureCache.Acquire("c.png", 0, 1), c);
    textureCache.Release(a);
    textureCache.Release(c);
    textureCache.Release(c);
    textureCache.Release(a);
    EXPECT_EQ(log.text(), "release(almi.png)\nrelease(c.png)\nrelease(ground.png)\n");
    EXPECT_EQ(device.LiveTextures(), 0u);
}

} // namespace
