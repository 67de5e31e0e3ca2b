#include "json_literals.h"

#include <cstdint>
#include <cstdio>

namespace ctltest {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    ParsedJson document()
    {
        ParsedJson parsed;
        blanks();
        Json value;
        if (!this->value(value, 0))
            return fail();
        blanks();
        if (at_ != text_.size())
            return fail("text after the value");
        parsed.value = std::move(value);
        return parsed;
    }

private:
    // Deeper than any line of ours; keeps a hostile text from the stack.
    static constexpr int kMaxDepth = 64;

    bool value(Json& out, int depth)
    {
        if (depth > kMaxDepth)
            return error("nested too deep");
        if (at_ >= text_.size())
            return error("value expected");
        switch (text_[at_]) {
        case '{': return object(out, depth);
        case '[': return array(out, depth);
        case '"': out.kind = Json::Kind::String; return string(out.text);
        case 't': out.kind = Json::Kind::True; return word("true");
        case 'f': out.kind = Json::Kind::False; return word("false");
        case 'n': out.kind = Json::Kind::Null; return word("null");
        default: out.kind = Json::Kind::Number; return number(out.text);
        }
    }

    bool object(Json& out, int depth)
    {
        out.kind = Json::Kind::Object;
        ++at_;
        blanks();
        if (take('}'))
            return true;
        for (;;) {
            blanks();
            std::string key;
            if (at_ >= text_.size() || text_[at_] != '"' || !string(key))
                return error("key expected");
            if (out.find(key))
                return error("key \"" + key + "\" twice");
            blanks();
            if (!take(':'))
                return error("':' expected");
            blanks();
            Json member;
            if (!value(member, depth + 1))
                return false;
            out.members.emplace_back(std::move(key), std::move(member));
            blanks();
            if (take('}'))
                return true;
            if (!take(','))
                return error("',' or '}' expected");
        }
    }

    bool array(Json& out, int depth)
    {
        out.kind = Json::Kind::Array;
        ++at_;
        blanks();
        if (take(']'))
            return true;
        for (;;) {
            blanks();
            Json item;
            if (!value(item, depth + 1))
                return false;
            out.items.push_back(std::move(item));
            blanks();
            if (take(']'))
                return true;
            if (!take(','))
                return error("',' or ']' expected");
        }
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool number(std::string& literal)
    {
        const std::size_t start = at_;
        take('-');
        if (take('0')) {
            if (digit())
                return error("leading zero");
        } else if (!digits()) {
            return error("value expected");
        }
        if (take('.') && !digits())
            return error("digits expected after '.'");
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digits())
                return error("digits expected in the exponent");
        }
        literal = std::string(text_.substr(start, at_ - start));
        return true;
    }

    bool string(std::string& out)
    {
        ++at_;  // the opening quote
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return error("control character in a string");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (at_ >= text_.size())
                break;
            const char escape = text_[at_++];
            switch (escape) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u':
                if (!unicodeEscape(out))
                    return false;
                break;
            default: return error("unknown escape");
            }
        }
        return error("unterminated string");
    }

    bool unicodeEscape(std::string& out)
    {
        std::uint32_t code = 0;
        if (!hex4(code))
            return error("four hex digits expected after \\u");
        if (code >= 0xDC00 && code <= 0xDFFF)
            return error("lone low surrogate");
        if (code >= 0xD800 && code <= 0xDBFF) {
            std::uint32_t low = 0;
            if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low > 0xDFFF)
                return error("lone high surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, code);
        return true;
    }

    bool hex4(std::uint32_t& code)
    {
        for (int i = 0; i < 4; ++i) {
            if (at_ >= text_.size())
                return false;
            const char c = text_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t code)
    {
        auto put = [&out](std::uint32_t byte) { out += static_cast<char>(byte); };
        if (code < 0x80) {
            put(code);
        } else if (code < 0x800) {
            put(0xC0 | (code >> 6));
            put(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            put(0xE0 | (code >> 12));
            put(0x80 | ((code >> 6) & 0x3F));
            put(0x80 | (code & 0x3F));
        } else {
            put(0xF0 | (code >> 18));
            put(0x80 | ((code >> 12) & 0x3F));
            put(0x80 | ((code >> 6) & 0x3F));
            put(0x80 | (code & 0x3F));
        }
    }

    bool word(std::string_view expected)
    {
        if (text_.substr(at_, expected.size()) != expected)
            return error("value expected");
        at_ += expected.size();
        return true;
    }

    bool digit() const { return at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; }
    bool digits()
    {
        const std::size_t start = at_;
        while (digit())
            ++at_;
        return at_ > start;
    }
    bool take(char c)
    {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void blanks()
    {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }

    bool error(std::string why)
    {
        if (why_.empty())
            why_ = "at " + std::to_string(at_) + ": " + std::move(why);
        return false;
    }
    ParsedJson fail(std::string why = {})
    {
        if (!why.empty())
            error(std::move(why));
        return {std::nullopt, why_};
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string why_;
};

void dumpString(std::string& out, const std::string& text)
{
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += ch;
        }
    }
    out += '"';
}

void dumpInto(std::string& out, const Json& json)
{
    switch (json.kind) {
    case Json::Kind::Null: out += "null"; break;
    case Json::Kind::False: out += "false"; break;
    case Json::Kind::True: out += "true"; break;
    case Json::Kind::Number: out += json.text; break;
    case Json::Kind::String: dumpString(out, json.text); break;
    case Json::Kind::Array:
        out += '[';
        for (std::size_t i = 0; i < json.items.size(); ++i) {
            if (i > 0)
                out += ',';
            dumpInto(out, json.items[i]);
        }
        out += ']';
        break;
    case Json::Kind::Object:
        out += '{';
        for (std::size_t i = 0; i < json.members.size(); ++i) {
            if (i > 0)
                out += ',';
            dumpString(out, json.members[i].first);
            out += ':';
            dumpInto(out, json.members[i].second);
        }
        out += '}';
        break;
    }
}

}  // namespace

const Json* Json::find(std::string_view key) const
{
    for (const auto& [name, value] : members)
        if (name == key)
            return &value;
    return nullptr;
}

Json* Json::find(std::string_view key)
{
    for (auto& [name, value] : members)
        if (name == key)
            return &value;
    return nullptr;
}

void Json::set(std::string_view key, Json value)
{
    for (auto& [name, old] : members) {
        if (name == key) {
            old = std::move(value);
            return;
        }
    }
    members.emplace_back(std::string(key), std::move(value));
}

void Json::erase(std::string_view key)
{
    std::erase_if(members, [key](const auto& member) { return member.first == key; });
}

std::string Json::dump() const
{
    std::string out;
    dumpInto(out, *this);
    return out;
}

ParsedJson parseJson(std::string_view text) { return Reader(text).document(); }

}  // namespace ctltest
