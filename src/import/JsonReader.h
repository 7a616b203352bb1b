// A pull parser of JSON read a block at a time: the caller asks for each
// value in turn and keeps what it wants; what it skips is read past without
// being held. Every refusal names its line and column (a column counts
// bytes). Strings are taken as bytes: those that are not UTF-8 (names as a
// file system gave them) are kept as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nrvs {

class JsonReader {
  public:
    // Fills up to capacity bytes of buffer, got 0 at the end; false with why.
    using Source =
        std::function<bool(char* buffer, size_t capacity, size_t& got, std::string& why)>;

    enum class Type { Array, Object, String, Number, Boolean, Null };
    struct Position {
        uint64_t line = 1, column = 1;
    };
    // A number as far as the import asks: a whole one, if it is.
    struct Number {
        bool whole = false;    // no fraction, no exponent, within 64 bits
        bool negative = false; // with whole: the value is -magnitude
        uint64_t magnitude = 0;
        bool ToInt64(int64_t& out) const;
        bool ToUint64(uint64_t& out) const;
    };

    // Refuses documents of more than maxBytes and containers nested more
    // than maxDepth deep.
    JsonReader(Source source, uint64_t maxBytes, size_t maxDepth);

    // The type of the next value and where it starts; false at bad input or
    // at the end of the document.
    bool Peek(Type& type);
    Position Where() const { return at_; }

    bool EnterArray();
    bool EnterObject();
    // Moves to the next element of the array entered last: more is false
    // at its end, which leaves it.
    bool NextElement(bool& more);
    // Moves to the next field of the object entered last and reads its key
    // (at most keyLimit bytes of it kept, longer keys read as ""): more is
    // false at its end, which leaves it.
    bool NextField(std::string& key, bool& more, size_t keyLimit = 64);

    // The string value, of which at most limit bytes are kept; tooLong says
    // that there were more.
    bool ReadString(std::string& out, size_t limit, bool& tooLong);
    bool ReadNumber(Number& out);
    bool ReadBoolean(bool& out);
    // Any value, read past.
    bool Skip();
    // Only white space follows the value read.
    bool AtEnd(bool& end);

    // Refuses at a place: the first refusal is kept.
    bool Fail(Position at, const std::string& reason);
    const std::string& Error() const { return error_; }

  private:
    bool Fill();
    // The next byte without taking it; false at the end of the document
    // (with the error set when the source failed).
    bool PeekByte(unsigned char& c);
    void Take() { ++pos_, ++column_; }
    bool SkipSpace(unsigned char& c);
    bool Expect(const char* literal);
    bool ScanString(std::string* out, size_t limit, bool& tooLong);
    bool CutShort();
    Position Here() const { return {line_, column_}; }
    bool Unexpected(unsigned char c, const char* wanted);

    Source source_;
    uint64_t maxBytes_, read_ = 0;
    size_t maxDepth_;
    std::vector<char> buffer_;
    size_t pos_ = 0, end_ = 0;
    bool sourceEnd_ = false;
    uint64_t line_ = 1, column_ = 1;
    Position at_;
    // The open containers: 'a' or 'o', upper case before their first member.
    std::vector<char> open_;
    std::string error_;
};

} // namespace nrvs
