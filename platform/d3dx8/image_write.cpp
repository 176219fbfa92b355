#include "platform/d3dx8/image_write.h"
bool WritePngRgba(const char*, uint32_t, uint32_t, const uint8_t*) { return false; }
