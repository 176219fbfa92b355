// Lexing of .x bodies. Text: names, quoted strings, numbers, <GUID>s, braces, the punctuation of
// template definitions, // and # comments; ',' and ';' separate and are dropped. Binary: WORD
// token codes with their payloads (names, strings, single integers, GUIDs, integer lists, float
// lists of 32- or 64-bit floats); every payload length is checked against the bytes left.
#include <platform/d3dx8/xfile/tokenizer.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform::xfile {

namespace {

enum BinaryToken : uint16_t {
    kName = 1,
    kString = 2,
    kInteger = 3,
    kGuid = 5,
    kIntegerList = 6,
    kFloatList = 7,
    kOpenBrace = 10,
    kCloseBrace = 11,
    kOpenParen = 12,
    kCloseParen = 13,
    kOpenBracket = 14,
    kCloseBracket = 15,
    kOpenAngle = 16,
    kCloseAngle = 17,
    kDot = 18,
    kComma = 19,
    kSemicolon = 20,
    kTemplate = 31,
    kFirstKeyword = 40, // WORD .. ARRAY
    kLastKeyword = 52,
};

uint16_t Word(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t Dword(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool IsNameStart(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(uint8_t c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
bool IsNumberChar(uint8_t c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}
bool IsSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Turns a number's text into a token: Integer when it is a whole number that fits a DWORD.
bool MakeNumber(std::string_view text, Token& token) {
    if (text.empty()) return false;
    std::string_view digits = text;
    if (digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return false;
    double value = 0.0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return false;
    if (!std::isfinite(value)) return false;
    token.number = value;
    const bool whole = digits.find_first_of(".eE") == std::string_view::npos;
    if (whole && value >= 0.0 && value <= 4294967295.0) {
        token.kind = TokenKind::Integer;
        token.integer = static_cast<uint32_t>(value);
    } else {
        token.kind = TokenKind::Float;
    }
    return true;
}

} // namespace

const char* KindName(TokenKind kind) {
    switch (kind) {
    case TokenKind::End:
        return "end of file";
    case TokenKind::Name:
        return "name";
    case TokenKind::String:
        return "string";
    case TokenKind::Integer:
        return "integer";
    case TokenKind::Float:
        return "number";
    case TokenKind::Guid:
        return "GUID";
    case TokenKind::OpenBrace:
        return "'{'";
    case TokenKind::CloseBrace:
        return "'}'";
    case TokenKind::Template:
        return "template";
    case TokenKind::Punctuation:
        return "punctuation";
    case TokenKind::Keyword:
        return "type keyword";
    }
    return "token";
}

Tokenizer::Tokenizer(const uint8_t* body, size_t size, bool binary, bool doubles)
    : data_(body), size_(size), binary_(binary), doubles_(doubles) {}

size_t Tokenizer::Remaining() const {
    return size_ - (peeked_ ? peekStart_ : pos_);
}

std::string Tokenizer::Where(size_t offset) const {
    if (binary_) return "offset " + std::to_string(offset + 16);
    size_t line = 1;
    for (size_t i = 0; i < offset && i < size_; ++i)
        if (data_[i] == '\n') ++line;
    return "line " + std::to_string(line);
}

bool Tokenizer::Fail(size_t offset, const std::string& what) {
    error_ = what + " at " + Where(offset);
    return false;
}

bool Tokenizer::Peek(Token& token) {
    if (!peeked_) {
        peekStart_ = pos_;
        if (!Lex(peek_)) return false;
        peeked_ = true;
    }
    token = peek_;
    return true;
}

bool Tokenizer::Next(Token& token) {
    if (peeked_) {
        peeked_ = false;
        token = peek_;
        return true;
    }
    return Lex(token);
}

bool Tokenizer::Lex(Token& token) {
    token = Token();
    return binary_ ? LexBinary(token) : LexText(token);
}

bool Tokenizer::LexText(Token& token) {
    // The text body starts with a line break after the header; the header line is line 1.
    for (;;) {
        while (pos_ < size_ && (IsSpace(data_[pos_]) || data_[pos_] == ',' || data_[pos_] == ';'))
            ++pos_;
        if (pos_ < size_ && (data_[pos_] == '#' ||
                             (data_[pos_] == '/' && pos_ + 1 < size_ && data_[pos_ + 1] == '/'))) {
            while (pos_ < size_ && data_[pos_] != '\n')
                ++pos_;
            continue;
        }
        break;
    }
    token.offset = pos_;
    if (pos_ >= size_) {
        token.kind = TokenKind::End;
        return true;
    }
    const uint8_t c = data_[pos_];
    const char* at = reinterpret_cast<const char*>(data_ + pos_);
    if (c == '{' || c == '}') {
        token.kind = c == '{' ? TokenKind::OpenBrace : TokenKind::CloseBrace;
        ++pos_;
        return true;
    }
    if (c == '[' || c == ']' || c == '(' || c == ')') {
        token.kind = TokenKind::Punctuation;
        token.text = std::string_view(at, 1);
        ++pos_;
        return true;
    }
    if (c == '.' && pos_ + 2 < size_ && data_[pos_ + 1] == '.' && data_[pos_ + 2] == '.') {
        token.kind = TokenKind::Punctuation;
        token.text = std::string_view(at, 3);
        pos_ += 3;
        return true;
    }
    if (c == '<') {
        size_t end = pos_ + 1;
        while (end < size_ && end - pos_ <= 64 && data_[end] != '>') {
            const uint8_t g = data_[end];
            if (!(std::isxdigit(g) || g == '-' || g == ' ')) return Fail(pos_, "malformed GUID");
            ++end;
        }
        if (end >= size_ || data_[end] != '>') return Fail(pos_, "unterminated GUID");
        token.kind = TokenKind::Guid;
        token.text = std::string_view(at + 1, end - pos_ - 1);
        pos_ = end + 1;
        return true;
    }
    if (c == '"') {
        size_t end = pos_ + 1;
        while (end < size_ && data_[end] != '"') {
            if (data_[end] == '\n' || data_[end] == 0) return Fail(pos_, "unterminated string");
            ++end;
        }
        if (end >= size_) return Fail(pos_, "unterminated string");
        token.kind = TokenKind::String;
        token.text = std::string_view(at + 1, end - pos_ - 1);
        pos_ = end + 1;
        return true;
    }
    if (IsNameStart(c)) {
        size_t end = pos_;
        while (end < size_ && IsNameChar(data_[end]))
            ++end;
        token.text = std::string_view(at, end - pos_);
        token.kind = token.text == "template" ? TokenKind::Template : TokenKind::Name;
        pos_ = end;
        return true;
    }
    if (IsNumberChar(c)) {
        size_t end = pos_;
        while (end < size_ && IsNumberChar(data_[end]))
            ++end;
        // A number runs up to a separator, a brace, a blank or the ']' closing an array size
        // in a template ("matrix[16]"); "1.#IND" and the like are not numbers we know.
        if (end < size_ &&
            !(IsSpace(data_[end]) || data_[end] == ',' || data_[end] == ';' || data_[end] == '}' ||
              data_[end] == '{' || data_[end] == '/' || data_[end] == ']'))
            return Fail(pos_, "malformed number");
        if (!MakeNumber(std::string_view(at, end - pos_), token))
            return Fail(pos_, "malformed number");
        pos_ = end;
        return true;
    }
    char shown[32];
    if (c >= 0x20 && c < 0x7f)
        std::snprintf(shown, sizeof shown, "unexpected character '%c'", c);
    else
        std::snprintf(shown, sizeof shown, "unexpected byte 0x%02x", c);
    return Fail(pos_, shown);
}

bool Tokenizer::LexBinary(Token& token) {
    for (;;) {
        token.offset = pos_;
        if (list_ != ListKind::None) {
            const size_t width = list_ == ListKind::Floats && doubles_ ? 8 : 4;
            if (size_ - pos_ < width) return Fail(pos_, "truncated list");
            if (list_ == ListKind::Integers) {
                token.kind = TokenKind::Integer;
                token.integer = Dword(data_ + pos_);
                token.number = token.integer;
            } else {
                if (doubles_) {
                    std::memcpy(&token.number, data_ + pos_, 8);
                } else {
                    float f;
                    std::memcpy(&f, data_ + pos_, 4);
                    token.number = f;
                }
                token.kind = TokenKind::Float;
            }
            pos_ += width;
            if (--listLeft_ == 0) list_ = ListKind::None;
            return true;
        }
        if (pos_ >= size_) {
            token.kind = TokenKind::End;
            return true;
        }
        if (size_ - pos_ < 2) return Fail(pos_, "truncated token");
        const uint16_t code = Word(data_ + pos_);
        const size_t start = pos_;
        pos_ += 2;
        const size_t left = size_ - pos_;
        switch (code) {
        case kName:
        case kString: {
            if (left < 4) return Fail(start, "truncated name");
            const uint32_t length = Dword(data_ + pos_);
            if (length > left - 4) return Fail(start, "name or string longer than the file");
            token.kind = code == kName ? TokenKind::Name : TokenKind::String;
            token.text = std::string_view(reinterpret_cast<const char*>(data_ + pos_ + 4), length);
            pos_ += 4 + size_t(length);
            if (code == kString && size_ - pos_ >= 2) {
                // The string's terminator: a separator token, possibly written as a DWORD.
                const uint16_t end = Word(data_ + pos_);
                if (end == kSemicolon || end == kComma) {
                    pos_ += 2;
                    if (size_ - pos_ >= 2 && Word(data_ + pos_) == 0) pos_ += 2;
                }
            }
            if (code == kName && length == 0) return Fail(start, "empty name");
            return true;
        }
        case kInteger:
            if (left < 4) return Fail(start, "truncated integer");
            token.kind = TokenKind::Integer;
            token.integer = Dword(data_ + pos_);
            token.number = token.integer;
            pos_ += 4;
            return true;
        case kGuid:
            if (left < 16) return Fail(start, "truncated GUID");
            token.kind = TokenKind::Guid;
            token.text = std::string_view(reinterpret_cast<const char*>(data_ + pos_), 16);
            pos_ += 16;
            return true;
        case kIntegerList:
        case kFloatList: {
            if (left < 4) return Fail(start, "truncated list");
            const uint32_t count = Dword(data_ + pos_);
            pos_ += 4;
            const uint64_t width = code == kFloatList && doubles_ ? 8 : 4;
            if (uint64_t(count) * width > size_ - pos_)
                return Fail(start,
                            "list of " + std::to_string(count) + " values longer than the file");
            if (count == 0) continue;
            list_ = code == kIntegerList ? ListKind::Integers : ListKind::Floats;
            listLeft_ = count;
            continue;
        }
        case kOpenBrace:
            token.kind = TokenKind::OpenBrace;
            return true;
        case kCloseBrace:
            token.kind = TokenKind::CloseBrace;
            return true;
        case kComma:
        case kSemicolon:
            continue;
        case kOpenParen:
        case kCloseParen:
        case kOpenBracket:
        case kCloseBracket:
        case kOpenAngle:
        case kCloseAngle:
        case kDot:
            token.kind = TokenKind::Punctuation;
            return true;
        case kTemplate:
            token.kind = TokenKind::Template;
            return true;
        default:
            if (code >= kFirstKeyword && code <= kLastKeyword) {
                token.kind = TokenKind::Keyword;
                return true;
            }
            char shown[32];
            std::snprintf(shown, sizeof shown, "unknown token 0x%04x", code);
            return Fail(start, shown);
        }
    }
}

} // namespace platform::xfile
