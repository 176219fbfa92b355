#include "platform/d3dx8/image_decode.h"
ImageFormat SniffImageFormat(const uint8_t*, size_t) { return ImageFormat::Unknown; }
bool DecodeImageFile(const char*, Image&, std::string& e) { e = "not implemented"; return false; }
bool DecodeImageMemory(const uint8_t*, size_t, Image&, std::string& e) { e = "not implemented"; return false; }
bool CheckImageSize(uint64_t, uint64_t, size_t&, std::string&) { return false; }
