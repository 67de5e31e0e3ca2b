#include "stale_names.h"

namespace docmap {
namespace {

// Why the tree does not hold the name, or nothing when it does.
std::optional<std::string> missing(const PageName& name, const SourceTree& tree)
{
    switch (name.kind) {
    case NameKind::Path:
        if (tree.hasPath(name.name))
            return std::nullopt;
        return "no such file or folder in the repository";
    case NameKind::Word:
        if (tree.hasWord(name.name))
            return std::nullopt;
        return "`" + name.name + "` occurs nowhere in the code, the CMake files or the scripts";
    case NameKind::Member: {
        if (tree.hasMember(name.name))
            return std::nullopt;
        const auto separator = name.name.rfind("::");
        return "no `" + name.name.substr(0, separator) + "` declares or uses `" +
               name.name.substr(separator + 2) + "`, and no code spells `" + name.name + "`";
    }
    }
    return std::nullopt;
}

}  // namespace

std::vector<StaleName> staleNames(std::string_view page, const SourceTree& tree,
                                  const std::set<std::string, std::less<>>& allowed)
{
    std::vector<StaleName> stale;
    for (auto& name : namesOnPage(page)) {
        if (allowed.contains(name.name))
            continue;
        if (auto why = missing(name, tree))
            stale.push_back({std::move(name), std::move(*why)});
    }
    return stale;
}

std::string describe(std::string_view pageName, const std::vector<StaleName>& stale)
{
    std::string text;
    for (const auto& entry : stale) {
        text += std::string(pageName) + ":" + std::to_string(entry.name.line) + ": `" + entry.name.spelling +
                "`: " + entry.why + "\n";
    }
    return text;
}

}  // namespace docmap
