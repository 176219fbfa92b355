// The shared texture store: a singly linked list keyed by file name, counting its users.
#include "gfx/resources/texture_cache.h"

#include "shell/debug_log.h"
#include "gfx/resources/texture_resource.h"

// Built before the scene's meshes (and the Application) and destroyed after them, so the meshes
// can hand their textures back from their destructors at exit.
TextureCache textureCache __attribute__((init_priority(200)));

IDirect3DTexture8* TextureCache::Acquire(const char* name, D3DCOLOR colorKey, UINT mipLevels) {
    for (TextureCacheEntry* entry = head; entry != nullptr; entry = entry->next) {
        if (entry->name == name) {
            entry->refCount += 1;
            return entry->texture;
        }
    }
    DebugPrint("load(%s) ... ", name);
    IDirect3DTexture8* texture = nullptr;
    if (FAILED(CreateTextureFromFile(name, colorKey, mipLevels, &texture)) || texture == nullptr) {
        DebugPrint("failed.\n");
        return nullptr;
    }
    DebugPrint("ok.\n");
    head = new TextureCacheEntry{texture, name, 1, head};
    return texture;
}

void TextureCache::Release(IDirect3DTexture8* texture) {
    if (texture == nullptr) return;
    TextureCacheEntry* previous = nullptr;
    TextureCacheEntry* entry = head;
    while (entry != nullptr && entry->texture != texture) {
        previous = entry;
        entry = entry->next;
    }
    if (entry == nullptr) return;
    entry->refCount -= 1;
    if (entry->refCount > 0) return;
    DebugPrint("release(%s)\n", entry->name.c_str());
    entry->texture->Release();
    if (previous == nullptr) {
        head = entry->next;
    } else {
        previous->next = entry->next;
    }
    delete entry;
}
