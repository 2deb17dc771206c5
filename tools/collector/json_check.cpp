#include "tools/collector/json_check.h"

namespace collector {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    // Reads one value at the current position, appending its compact form to `out`.
    bool value(std::string& out, int depth) {
        if (depth > kMaxJsonDepth)
            return fail("nesting too deep");
        skipSpace();
        if (pos_ >= s_.size())
            return fail("unexpected end of text");
        char c = s_[pos_];
        switch (c) {
            case '{':
                return object(out, depth + 1);
            case '[':
                return array(out, depth + 1);
            case '"':
                return string(out);
            case 't':
                return literal("true", out);
            case 'f':
                return literal("false", out);
            case 'n':
                return literal("null", out);
            default:
                if (c == '-' || (c >= '0' && c <= '9'))
                    return number(out);
                return fail("unexpected character");
        }
    }

    // Reads the elements of an array at the current position, one compact text each;
    // every element must be an object.
    bool arrayOfObjects(std::vector<std::string>& objects) {
        skipSpace();
        if (!eat('['))
            return fail("not a JSON array");
        skipSpace();
        if (eat(']'))
            return true;
        for (;;) {
            skipSpace();
            if (pos_ >= s_.size() || s_[pos_] != '{')
                return fail("array element is not an object");
            std::string element;
            if (!object(element, 2))
                return false;
            objects.push_back(std::move(element));
            skipSpace();
            if (eat(']'))
                return true;
            if (!eat(','))
                return fail("expected ',' or ']'");
        }
    }

    bool atEnd() {
        skipSpace();
        return pos_ == s_.size();
    }

    bool fail(const char* what) {
        if (error_.empty())
            error_ = std::string(what) + " at byte " + std::to_string(pos_);
        return false;
    }
    const std::string& error() const { return error_; }

private:
    void skipSpace() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    bool eat(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool literal(std::string_view word, std::string& out) {
        if (s_.substr(pos_, word.size()) != word)
            return fail("bad literal");
        pos_ += word.size();
        out += word;
        return true;
    }
    bool digits(std::string& out) {
        size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9')
            out.push_back(s_[pos_++]);
        return pos_ > start;
    }
    bool number(std::string& out) {
        if (eat('-'))
            out.push_back('-');
        if (eat('0')) {
            out.push_back('0');
        } else if (!digits(out)) {
            return fail("bad number");
        }
        if (eat('.')) {
            out.push_back('.');
            if (!digits(out))
                return fail("bad fraction");
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            out.push_back(s_[pos_++]);
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-'))
                out.push_back(s_[pos_++]);
            if (!digits(out))
                return fail("bad exponent");
        }
        return true;
    }
    static bool isHex(char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    bool string(std::string& out) {
        if (!eat('"'))
            return fail("expected a string");
        out.push_back('"');
        for (;;) {
            if (pos_ >= s_.size())
                return fail("unterminated string");
            auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                out.push_back('"');
                return true;
            }
            if (c < 0x20)
                return fail("raw control character in string");
            if (c == '\\') {
                if (pos_ + 1 >= s_.size())
                    return fail("unterminated escape");
                char e = s_[pos_ + 1];
                if (e == 'u') {
                    if (pos_ + 6 > s_.size())
                        return fail("short \\u escape");
                    for (size_t k = 2; k < 6; ++k)
                        if (!isHex(s_[pos_ + k]))
                            return fail("bad \\u escape");
                    out.append(s_.substr(pos_, 6));
                    pos_ += 6;
                    continue;
                }
                if (e != '"' && e != '\\' && e != '/' && e != 'b' && e != 'f' && e != 'n' &&
                    e != 'r' && e != 't')
                    return fail("bad escape");
                out.append(s_.substr(pos_, 2));
                pos_ += 2;
                continue;
            }
            out.push_back(static_cast<char>(c));
            ++pos_;
        }
    }
    bool object(std::string& out, int depth) {
        if (depth > kMaxJsonDepth)
            return fail("nesting too deep");
        if (!eat('{'))
            return fail("expected an object");
        out.push_back('{');
        skipSpace();
        if (eat('}')) {
            out.push_back('}');
            return true;
        }
        for (;;) {
            skipSpace();
            if (!string(out))
                return false;
            skipSpace();
            if (!eat(':'))
                return fail("expected ':'");
            out.push_back(':');
            if (!value(out, depth))
                return false;
            skipSpace();
            if (eat('}')) {
                out.push_back('}');
                return true;
            }
            if (!eat(','))
                return fail("expected ',' or '}'");
            out.push_back(',');
        }
    }
    bool array(std::string& out, int depth) {
        if (depth > kMaxJsonDepth)
            return fail("nesting too deep");
        if (!eat('['))
            return fail("expected an array");
        out.push_back('[');
        skipSpace();
        if (eat(']')) {
            out.push_back(']');
            return true;
        }
        for (;;) {
            if (!value(out, depth))
                return false;
            skipSpace();
            if (eat(']')) {
                out.push_back(']');
                return true;
            }
            if (!eat(','))
                return fail("expected ',' or ']'");
            out.push_back(',');
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
    std::string error_;
};

}  // namespace

bool ParseJson(std::string_view text, std::string* compact, std::string* error) {
    Reader r(text);
    std::string out;
    bool ok = r.value(out, 0) && (r.atEnd() || r.fail("text after the value"));
    if (!ok) {
        if (error != nullptr)
            *error = r.error();
        return false;
    }
    if (compact != nullptr)
        *compact = std::move(out);
    return true;
}

bool ParseJsonArrayOfObjects(std::string_view text, std::vector<std::string>& objects,
                             std::string* error) {
    Reader r(text);
    std::vector<std::string> found;
    bool ok = r.arrayOfObjects(found) && (r.atEnd() || r.fail("text after the array"));
    if (!ok) {
        if (error != nullptr)
            *error = r.error();
        return false;
    }
    objects = std::move(found);
    return true;
}

}  // namespace collector
