#include "platform/d3dx8/image_decode.h"
bool DecodeBmp(const uint8_t*, size_t, Image&, std::string& e) { e = "not implemented"; return false; }
