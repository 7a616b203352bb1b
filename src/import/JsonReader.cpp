#include "import/JsonReader.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace nrvs {

namespace {

constexpr size_t kBlock = 1 << 16;

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

bool JsonReader::Number::ToInt64(int64_t& out) const {
    if (!whole) return false;
    if (negative) {
        if (magnitude > uint64_t{1} << 63) return false;
        out = static_cast<int64_t>(0 - magnitude);
        return true;
    }
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    out = static_cast<int64_t>(magnitude);
    return true;
}

bool JsonReader::Number::ToUint64(uint64_t& out) const {
    if (!whole || negative) return false;
    out = magnitude;
    return true;
}

JsonReader::JsonReader(Source source, uint64_t maxBytes, size_t maxDepth)
    : source_(std::move(source)), maxBytes_(maxBytes), maxDepth_(maxDepth), buffer_(kBlock) {}

bool JsonReader::Fail(Position at, const std::string& reason) {
    if (error_.empty())
        error_ = "line " + std::to_string(at.line) + ", column " + std::to_string(at.column) +
                 ": " + reason;
    return false;
}

bool JsonReader::Fill() {
    if (pos_ < end_) return true;
    if (sourceEnd_ || !error_.empty()) return false;
    size_t got = 0;
    std::string why;
    if (!source_(buffer_.data(), buffer_.size(), got, why)) {
        error_ = why.empty() ? std::string("the document cannot be read") : why;
        return false;
    }
    if (got == 0) {
        sourceEnd_ = true;
        return false;
    }
    read_ += got;
    if (read_ > maxBytes_)
        return Fail(Here(), "the document is larger than " + std::to_string(maxBytes_) + " bytes");
    pos_ = 0;
    end_ = got;
    return true;
}

bool JsonReader::PeekByte(unsigned char& c) {
    if (pos_ == end_ && !Fill()) return false;
    c = static_cast<unsigned char>(buffer_[pos_]);
    return true;
}

bool JsonReader::CutShort() {
    return Fail(Here(), "the document is cut short");
}

bool JsonReader::Unexpected(unsigned char c, const char* wanted) {
    std::string seen;
    if (c > 0x20 && c < 0x7F)
        seen = std::string("'") + static_cast<char>(c) + "'";
    else {
        static const char hex[] = "0123456789abcdef";
        seen = std::string("the byte 0x") + hex[c >> 4] + hex[c & 15];
    }
    return Fail(Here(), std::string("no JSON: ") + wanted + " expected, not " + seen);
}

bool JsonReader::SkipSpace(unsigned char& c) {
    for (;;) {
        if (!PeekByte(c)) return false;
        if (c == ' ' || c == '\t' || c == '\r') {
            Take();
        } else if (c == '\n') {
            ++pos_;
            ++line_;
            column_ = 1;
        } else {
            return true;
        }
    }
}

bool JsonReader::Peek(Type& type) {
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    at_ = Here();
    switch (c) {
    case '[':
        type = Type::Array;
        return true;
    case '{':
        type = Type::Object;
        return true;
    case '"':
        type = Type::String;
        return true;
    case 't':
    case 'f':
        type = Type::Boolean;
        return true;
    case 'n':
        type = Type::Null;
        return true;
    default:
        if (c == '-' || IsDigit(c)) {
            type = Type::Number;
            return true;
        }
        return Unexpected(c, "a value");
    }
}

bool JsonReader::EnterArray() {
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    if (c != '[') return Unexpected(c, "'['");
    if (open_.size() >= maxDepth_)
        return Fail(Here(), "nested deeper than " + std::to_string(maxDepth_) + " levels");
    Take();
    open_.push_back('A');
    return true;
}

bool JsonReader::EnterObject() {
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    if (c != '{') return Unexpected(c, "'{'");
    if (open_.size() >= maxDepth_)
        return Fail(Here(), "nested deeper than " + std::to_string(maxDepth_) + " levels");
    Take();
    open_.push_back('O');
    return true;
}

bool JsonReader::NextElement(bool& more) {
    more = false;
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    char& top = open_.back();
    if (c == ']') {
        Take();
        open_.pop_back();
        return true;
    }
    if (top == 'A') {
        top = 'a';
    } else {
        if (c != ',') return Unexpected(c, "',' or ']'");
        Take();
    }
    more = true;
    return true;
}

bool JsonReader::NextField(std::string& key, bool& more, size_t keyLimit) {
    more = false;
    key.clear();
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    char& top = open_.back();
    if (c == '}') {
        Take();
        open_.pop_back();
        return true;
    }
    if (top == 'O') {
        top = 'o';
    } else {
        if (c != ',') return Unexpected(c, "',' or '}'");
        Take();
        if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    }
    if (c != '"') return Unexpected(c, "a key");
    at_ = Here();
    bool tooLong = false;
    if (!ScanString(&key, keyLimit, tooLong)) return false;
    if (tooLong) key.clear();
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    if (c != ':') return Unexpected(c, "':'");
    Take();
    more = true;
    return true;
}

bool JsonReader::ReadString(std::string& out, size_t limit, bool& tooLong) {
    out.clear();
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    if (c != '"') return Unexpected(c, "a string");
    at_ = Here();
    return ScanString(&out, limit, tooLong);
}

bool JsonReader::ScanString(std::string* out, size_t limit, bool& tooLong) {
    tooLong = false;
    auto put = [&](const char* bytes, size_t n) {
        if (!out) return;
        const size_t room = limit - std::min(limit, out->size());
        if (n > room) tooLong = true;
        out->append(bytes, std::min(n, room));
    };
    auto hex4 = [&](uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            unsigned char c = 0;
            if (!PeekByte(c)) return error_.empty() ? CutShort() : false;
            const int v = HexValue(c);
            if (v < 0) return Unexpected(c, "a hex digit of a \\u escape");
            value = value * 16 + static_cast<uint32_t>(v);
            Take();
        }
        return true;
    };
    Take(); // the opening quote
    for (;;) {
        if (pos_ == end_ && !Fill()) return error_.empty() ? CutShort() : false;
        const char* begin = buffer_.data() + pos_;
        const char* stop = buffer_.data() + end_;
        const char* p = begin;
        while (p < stop && *p != '"' && *p != '\\' && *p != '\n')
            ++p;
        const size_t run = static_cast<size_t>(p - begin);
        put(begin, run);
        pos_ += run;
        column_ += run;
        if (p == stop) continue;
        if (*p == '"') {
            Take();
            return true;
        }
        if (*p == '\n') {
            put(p, 1);
            ++pos_;
            ++line_;
            column_ = 1;
            continue;
        }
        const Position escape = Here();
        Take();
        unsigned char k = 0;
        if (!PeekByte(k)) return error_.empty() ? CutShort() : false;
        Take();
        char plain = 0;
        switch (k) {
        case '"':
        case '\\':
        case '/':
            plain = static_cast<char>(k);
            break;
        case 'b':
            plain = '\b';
            break;
        case 'f':
            plain = '\f';
            break;
        case 'n':
            plain = '\n';
            break;
        case 'r':
            plain = '\r';
            break;
        case 't':
            plain = '\t';
            break;
        case 'u': {
            uint32_t cp = 0;
            if (!hex4(cp)) return false;
            if (cp >= 0xDC00 && cp <= 0xDFFF)
                return Fail(escape, "a \\u escape holds half a character");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                unsigned char c = 0;
                if (!PeekByte(c)) return error_.empty() ? CutShort() : false;
                if (c != '\\') return Fail(escape, "a \\u escape holds half a character");
                Take();
                if (!PeekByte(c)) return error_.empty() ? CutShort() : false;
                if (c != 'u') return Fail(escape, "a \\u escape holds half a character");
                Take();
                uint32_t low = 0;
                if (!hex4(low)) return false;
                if (low < 0xDC00 || low > 0xDFFF)
                    return Fail(escape, "a \\u escape holds half a character");
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            std::string bytes;
            platform::AppendUtf8(bytes, cp);
            put(bytes.data(), bytes.size());
            continue;
        }
        default:
            return Fail(escape, "no JSON: a string holds an unknown escape");
        }
        put(&plain, 1);
    }
}

bool JsonReader::ReadNumber(Number& out) {
    out = Number{};
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    at_ = Here();
    bool whole = true;
    if (c == '-') {
        out.negative = true;
        Take();
        if (!PeekByte(c)) return error_.empty() ? CutShort() : false;
    }
    if (c == '0') {
        Take();
    } else if (IsDigit(c)) {
        while (IsDigit(c)) {
            const uint64_t d = c - '0';
            if (out.magnitude > (UINT64_MAX - d) / 10) whole = false;
            out.magnitude = out.magnitude * 10 + d;
            Take();
            if (!PeekByte(c)) c = 0;
        }
    } else {
        return Unexpected(c, "a digit");
    }
    if (!error_.empty()) return false;
    auto digits = [&]() {
        if (!PeekByte(c)) return error_.empty() ? CutShort() : false;
        if (!IsDigit(c)) return Unexpected(c, "a digit");
        while (IsDigit(c)) {
            Take();
            if (!PeekByte(c)) c = 0;
        }
        return error_.empty();
    };
    if (PeekByte(c) && c == '.') {
        whole = false;
        Take();
        if (!digits()) return false;
    }
    if (PeekByte(c) && (c == 'e' || c == 'E')) {
        whole = false;
        Take();
        if (!PeekByte(c)) return error_.empty() ? CutShort() : false;
        if (c == '+' || c == '-') Take();
        if (!digits()) return false;
    }
    out.whole = whole;
    return error_.empty();
}

bool JsonReader::Expect(const char* literal) {
    for (const char* l = literal; *l; ++l) {
        unsigned char c = 0;
        if (!PeekByte(c)) return error_.empty() ? CutShort() : false;
        if (c != static_cast<unsigned char>(*l)) return Unexpected(c, literal);
        Take();
    }
    return true;
}

bool JsonReader::ReadBoolean(bool& out) {
    unsigned char c = 0;
    if (!SkipSpace(c)) return error_.empty() ? CutShort() : false;
    at_ = Here();
    out = c == 't';
    return Expect(out ? "true" : "false");
}

bool JsonReader::Skip() {
    const size_t base = open_.size();
    std::string key;
    do {
        if (open_.size() > base) {
            bool more = false;
            const bool array = open_.back() == 'A' || open_.back() == 'a';
            if (!(array ? NextElement(more) : NextField(key, more, 0))) return false;
            if (!more) continue;
        }
        Type type = Type::Null;
        if (!Peek(type)) return false;
        bool ok = true;
        switch (type) {
        case Type::Array:
            ok = EnterArray();
            break;
        case Type::Object:
            ok = EnterObject();
            break;
        case Type::String: {
            bool tooLong = false;
            ok = ScanString(nullptr, 0, tooLong);
            break;
        }
        case Type::Number: {
            Number n;
            ok = ReadNumber(n);
            break;
        }
        case Type::Boolean: {
            bool b = false;
            ok = ReadBoolean(b);
            break;
        }
        case Type::Null:
            ok = Expect("null");
            break;
        }
        if (!ok) return false;
    } while (open_.size() > base);
    return true;
}

bool JsonReader::AtEnd(bool& end) {
    unsigned char c = 0;
    end = !SkipSpace(c);
    if (!end) at_ = Here();
    return error_.empty();
}

} // namespace nrvs
