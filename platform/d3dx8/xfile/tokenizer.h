// Tokens of a .x file body, text or binary, as one stream. Separators (',' and ';') are
// dropped: the reader knows from each template how many values come. Binary integer and float
// lists are handed out one value at a time, straight from the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::xfile {

enum class TokenKind {
    End,
    Name,
    String,
    Integer, // a value that fits a DWORD (non-negative, below 2^32)
    Float,   // any other number
    Guid,
    OpenBrace,
    CloseBrace,
    Template,    // the keyword that opens a template definition
    Punctuation, // brackets, dots, angle brackets of template definitions
    Keyword,     // binary primitive type tokens of template definitions
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text; // names and strings: the bytes as in the file
    uint32_t integer = 0;
    double number = 0.0; // every number, integers included
    size_t offset = 0;   // where the token starts in the body
};

const char* KindName(TokenKind kind);

class Tokenizer {
  public:
    // body: the bytes after the 16-byte header. doubles: binary float lists hold 64-bit floats.
    Tokenizer(const uint8_t* body, size_t size, bool binary, bool doubles);

    // False on a malformed token (Error() says why); at the end of the body, an End token.
    bool Next(Token& token);
    bool Peek(Token& token);

    const std::string& Error() const { return error_; }
    // Bytes not yet consumed (a peeked token counts as not consumed).
    size_t Remaining() const;
    // The fewest bytes a single value can take in this encoding: a count claiming more values
    // than Remaining() / MinValueBytes() cannot be satisfied.
    size_t MinValueBytes() const { return binary_ ? 4 : 1; }
    // "line 12" for text, "offset 345" for binary.
    std::string Where(size_t offset) const;

  private:
    bool Lex(Token& token);
    bool LexText(Token& token);
    bool LexBinary(Token& token);
    bool Fail(size_t offset, const std::string& what);

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool binary_;
    bool doubles_;
    // A binary list being handed out.
    enum class ListKind { None, Integers, Floats } list_ = ListKind::None;
    uint32_t listLeft_ = 0;
    bool peeked_ = false;
    Token peek_;
    size_t peekStart_ = 0;
    std::string error_;
};

} // namespace platform::xfile
