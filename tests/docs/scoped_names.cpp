#include "scoped_names.h"

#include <cctype>
#include <optional>
#include <vector>

namespace docmap {
namespace {

bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

bool isIdentifier(std::string_view token)
{
    return !token.empty() && isIdentifierChar(token.front()) &&
           std::isdigit(static_cast<unsigned char>(token.front())) == 0;
}

// Identifiers and numbers, `::` and `->`, and every other character alone.
std::vector<std::string_view> tokensOf(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t at = 0;
    while (at < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[at])) != 0) {
            ++at;
            continue;
        }
        auto end = at + 1;
        if (isIdentifierChar(text[at])) {
            while (end < text.size() && isIdentifierChar(text[end]))
                ++end;
        } else if (text.substr(at, 2) == "::" || text.substr(at, 2) == "->") {
            end = at + 2;
        }
        tokens.push_back(text.substr(at, end - at));
        at = end;
    }
    return tokens;
}

using Tokens = std::vector<std::string_view>;

// `A::B::C` from `at`: the names, and where the tokens after them start.
std::vector<std::string> qualifiedNameAt(const Tokens& tokens, std::size_t& at)
{
    std::vector<std::string> parts;
    while (at < tokens.size() && isIdentifier(tokens[at])) {
        parts.emplace_back(tokens[at++]);
        if (at < tokens.size() && tokens[at] == "::") {
            ++at;
        } else {
            break;
        }
    }
    return parts;
}

// After `namespace`: the names of the namespace the next brace opens, or
// nothing when no brace follows (an alias).
std::optional<std::vector<std::string>> namespaceOpened(const Tokens& tokens, std::size_t at)
{
    auto names = qualifiedNameAt(tokens, at);
    if (at < tokens.size() && tokens[at] == "{")
        return names;
    return std::nullopt;
}

// After `class`, `struct`, `union` or `enum`: the name of the type whose
// body the next brace opens, or nothing when the words declare something
// else (`struct Name;`, `struct stat info{}`, `class T` among a template's
// parameters).
std::optional<std::vector<std::string>> typeOpened(const Tokens& tokens, std::size_t at)
{
    if (at < tokens.size() && (tokens[at] == "class" || tokens[at] == "struct"))
        ++at;  // enum class
    auto names = qualifiedNameAt(tokens, at);
    if (names.empty())
        return std::nullopt;
    bool bases = false;
    int angles = 0;
    for (; at < tokens.size(); ++at) {
        const auto token = tokens[at];
        if (token == "{")
            return names;
        if (token == ";" || token == "(" || token == ")" || token == "=" || token == "*" || token == "&" ||
            token == "[")
            return std::nullopt;
        if (token == "<")
            ++angles;
        // A `>` that closes nothing ends a template's parameters.
        if (token == ">" && --angles < 0)
            return std::nullopt;
        if (token == ":" && angles == 0)
            bases = true;
        // Before the bases only `final` and template arguments may follow.
        if (!bases && angles == 0 && isIdentifier(token) && token != "final")
            return std::nullopt;
    }
    return std::nullopt;
}

void addTails(const std::vector<std::string>& parts, std::unordered_set<std::string>& names)
{
    std::string tail = parts.back();
    for (auto part = parts.rbegin() + 1; part != parts.rend(); ++part) {
        tail = *part + "::" + tail;
        names.insert(tail);
    }
}

}  // namespace

void addScopedNames(std::string_view skeleton, std::unordered_set<std::string>& names)
{
    const auto tokens = tokensOf(skeleton);
    // One entry per open brace: the scope names it opened, often none.
    std::vector<std::vector<std::string>> braces;
    std::optional<std::vector<std::string>> nextScope;
    std::size_t nextScopeBrace = 0;

    std::size_t at = 0;
    while (at < tokens.size()) {
        const auto token = tokens[at];
        const auto previous = at > 0 ? tokens[at - 1] : std::string_view();
        if (token == "{") {
            braces.push_back(nextScope && nextScopeBrace == at ? *nextScope : std::vector<std::string>());
            nextScope.reset();
            ++at;
            continue;
        }
        if (token == "}") {
            if (!braces.empty())
                braces.pop_back();
            ++at;
            continue;
        }
        if (!isIdentifier(token)) {
            ++at;
            continue;
        }

        if (token == "namespace" || token == "class" || token == "struct" || token == "union" ||
            token == "enum") {
            auto opened = token == "namespace" ? namespaceOpened(tokens, at + 1) : typeOpened(tokens, at + 1);
            if (opened) {
                nextScope = std::move(*opened);
                // The brace is the first one after the keyword.
                nextScopeBrace = at + 1;
                while (tokens[nextScopeBrace] != "{")
                    ++nextScopeBrace;
            }
        }

        const bool global = previous == "::" && (at < 2 || !isIdentifier(tokens[at - 2]));
        const bool throughObject = previous == "." || previous == "->";
        auto spelled = qualifiedNameAt(tokens, at);
        if (throughObject)
            continue;
        std::vector<std::string> parts;
        if (!global)
            for (const auto& scope : braces)
                parts.insert(parts.end(), scope.begin(), scope.end());
        parts.insert(parts.end(), spelled.begin(), spelled.end());
        addTails(parts, names);
    }
}

}  // namespace docmap
