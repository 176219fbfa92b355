// MSZIP inflation on zlib's raw inflate, one block at a time with the previous block as the
// dictionary.
#include <platform/d3dx8/xfile/mszip.h>

#include <zlib.h>

#include <algorithm>

namespace platform::xfile {

namespace {

constexpr size_t kMaxBlock = 32768; // MSZIP blocks hold at most 32 KiB of output

uint16_t LittleWord(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

struct Inflater {
    z_stream stream{};
    bool ready = false;
    Inflater() { ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (ready) inflateEnd(&stream);
    }
};

} // namespace

bool InflateMsZip(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out,
                  std::string& reason) {
    out.clear();
    if (size < 4) {
        reason = "compressed file too short";
        return false;
    }
    const uint32_t stated = uint32_t(data[0]) | (uint32_t(data[1]) << 8) |
                            (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 24);
    if (stated > limit + 16) {
        reason = "compressed file claims " + std::to_string(stated) + " bytes, more than allowed";
        return false;
    }
    size_t pos = 4;
    size_t block = 0;
    while (pos < size) {
        if (size - pos < 6) {
            reason = "truncated compressed block header";
            return false;
        }
        const size_t blockOut = LittleWord(data + pos);
        const size_t blockIn = LittleWord(data + pos + 2);
        pos += 4;
        if (blockOut == 0 || blockOut > kMaxBlock) {
            reason = "compressed block " + std::to_string(block) + " has a bad size";
            return false;
        }
        if (out.size() + blockOut > limit || out.size() + blockOut > stated) {
            reason = "compressed data larger than its stated size";
            return false;
        }
        if (data[pos] != 'C' || data[pos + 1] != 'K') {
            reason = "compressed block " + std::to_string(block) + " lacks its CK signature";
            return false;
        }
        if (blockIn < 2 || blockIn > size - pos) {
            reason = "compressed block " + std::to_string(block) + " runs past the file";
            return false;
        }
        // The stated compressed size counts the signature; a writer that left it out is
        // recognised by where the deflate stream ends.
        const uint8_t* in = data + pos + 2;
        const size_t available = std::min(size - pos - 2, size_t(blockIn) + 0);
        Inflater inflater;
        if (!inflater.ready) {
            reason = "cannot start inflating";
            return false;
        }
        if (!out.empty()) {
            const size_t dictionary = std::min(out.size(), kMaxBlock);
            inflateSetDictionary(&inflater.stream, out.data() + out.size() - dictionary,
                                 static_cast<uInt>(dictionary));
        }
        const size_t before = out.size();
        out.resize(before + blockOut);
        inflater.stream.next_in = const_cast<Bytef*>(in);
        inflater.stream.avail_in = static_cast<uInt>(available);
        inflater.stream.next_out = out.data() + before;
        inflater.stream.avail_out = static_cast<uInt>(blockOut);
        const int result = inflate(&inflater.stream, Z_FINISH);
        if (result != Z_STREAM_END || inflater.stream.avail_out != 0) {
            reason = "compressed block " + std::to_string(block) + " is corrupt";
            return false;
        }
        const size_t consumed = available - inflater.stream.avail_in;
        if (consumed + 2 == blockIn)
            pos += blockIn;
        else if (consumed == blockIn)
            pos += blockIn + 2;
        else {
            reason = "compressed block " + std::to_string(block) + " has a wrong length";
            return false;
        }
        ++block;
    }
    if (out.size() + 16 != stated && out.size() != stated) {
        reason = "compressed file inflates to " + std::to_string(out.size()) +
                 " bytes instead of the " + std::to_string(stated) + " it states";
        return false;
    }
    return true;
}

} // namespace platform::xfile
