#include "platform/d3dx8/image_decode.h"
bool DecodeJpeg(const uint8_t*, size_t, Image&, std::string& e) { e = "not implemented"; return false; }
