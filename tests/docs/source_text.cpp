#include "source_text.h"

#include <cctype>

namespace docmap {
namespace {

bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// The identifier or number that ends just before `at`.
std::string_view wordBefore(std::string_view source, std::size_t at)
{
    auto begin = at;
    while (begin > 0 && (isIdentifierChar(source[begin - 1]) || source[begin - 1] == '\''))
        --begin;
    return source.substr(begin, at - begin);
}

// A quote inside a number (`38'400`) separates digits and opens nothing.
bool isDigitSeparator(std::string_view source, std::size_t at)
{
    const auto word = wordBefore(source, at);
    return !word.empty() && std::isdigit(static_cast<unsigned char>(word.front())) != 0;
}

bool opensRawString(std::string_view source, std::size_t at)
{
    const auto prefix = wordBefore(source, at);
    return prefix == "R" || prefix == "u8R" || prefix == "uR" || prefix == "UR" || prefix == "LR";
}

// Where the literal whose opening quote is at `at` ends (one past its
// closing quote). An unterminated literal ends with its line.
std::size_t literalEnd(std::string_view source, std::size_t at)
{
    const char quote = source[at];
    if (quote == '"' && opensRawString(source, at)) {
        const auto open = source.find('(', at);
        if (open != std::string_view::npos) {
            const std::string close = ")" + std::string(source.substr(at + 1, open - at - 1)) + "\"";
            const auto end = source.find(close, open);
            return end == std::string_view::npos ? source.size() : end + close.size();
        }
    }
    for (auto i = at + 1; i < source.size(); ++i) {
        if (source[i] == '\\') {
            ++i;
        } else if (source[i] == quote) {
            return i + 1;
        } else if (source[i] == '\n') {
            return i;
        }
    }
    return source.size();
}

std::string blanked(std::string_view text)
{
    std::string blank(text.size(), ' ');
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n')
            blank[i] = '\n';
    return blank;
}

}  // namespace

CppText readCpp(std::string_view source)
{
    CppText text;
    text.code.reserve(source.size());
    text.skeleton.reserve(source.size());
    bool lineStart = true;
    bool inDirective = false;
    std::size_t at = 0;
    while (at < source.size()) {
        const char c = source[at];
        std::size_t end = at + 1;
        if (c == '\n') {
            // A directive runs on past a line ending in a backslash.
            inDirective =
                inDirective && at > 0 && (source[at - 1] == '\\' || source.substr(0, at).ends_with("\\\r"));
            lineStart = true;
            text.code += c;
            text.skeleton += c;
            ++at;
            continue;
        }
        if (lineStart && c == '#')
            inDirective = true;
        if (std::isspace(static_cast<unsigned char>(c)) == 0)
            lineStart = false;

        if (source.substr(at).starts_with("//")) {
            end = source.find('\n', at);
            if (end == std::string_view::npos)
                end = source.size();
            const auto blank = blanked(source.substr(at, end - at));
            text.code += blank;
            text.skeleton += blank;
        } else if (source.substr(at).starts_with("/*")) {
            end = source.find("*/", at + 2);
            end = end == std::string_view::npos ? source.size() : end + 2;
            const auto blank = blanked(source.substr(at, end - at));
            text.code += blank;
            text.skeleton += blank;
        } else if ((c == '"' || c == '\'') && !(c == '\'' && isDigitSeparator(source, at))) {
            end = literalEnd(source, at);
            const auto literal = source.substr(at, end - at);
            text.code += literal;
            if (inDirective) {
                text.skeleton += blanked(literal);
            } else {
                // The quotes stay, so that the literal still parts the names
                // around it.
                auto blank = blanked(literal);
                blank.front() = c;
                if (literal.size() > 1 && literal.back() == c)
                    blank.back() = c;
                text.skeleton += blank;
            }
        } else {
            text.code += c;
            text.skeleton += inDirective ? ' ' : c;
        }
        at = end;
    }
    return text;
}

std::string withoutHashComments(std::string_view source)
{
    std::string text(source);
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '#' || (at > 0 && std::isspace(static_cast<unsigned char>(text[at - 1])) == 0))
            continue;
        while (at < text.size() && text[at] != '\n')
            text[at++] = ' ';
    }
    return text;
}

}  // namespace docmap
