#include "page_names.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <utility>

namespace docmap {
namespace {

bool isIdentifierChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isIdentifier(std::string_view s)
{
    return !s.empty() && (isLetter(s.front()) || s.front() == '_') &&
           std::all_of(s.begin(), s.end(), isIdentifierChar);
}

// `fonts-liberation2`, `kalvi7-ctl`, `windows-tests`: packages, programs, presets.
bool isHyphenatedWord(std::string_view s)
{
    return !s.empty() && isLetter(s.front()) && isIdentifierChar(s.back()) &&
           s.find("--") == std::string_view::npos && s.find('-') != std::string_view::npos &&
           std::all_of(s.begin(), s.end(), [](char c) { return isIdentifierChar(c) || c == '-'; });
}

bool isQualifiedName(std::string_view s)
{
    if (s.find("::") == std::string_view::npos)
        return false;
    while (true) {
        const auto separator = s.find("::");
        if (!isIdentifier(s.substr(0, separator)))
            return false;
        if (separator == std::string_view::npos)
            return true;
        s.remove_prefix(separator + 2);
    }
}

// Files the page may name without a folder: sources, scripts, build files
// and documents.
bool hasSourceExtension(std::string_view s)
{
    static constexpr auto extensions =
        std::to_array<std::string_view>({".h", ".hpp", ".cpp", ".c", ".ui", ".qrc", ".sh", ".cmake", ".md",
                                         ".txt", ".json", ".in", ".nsi", ".supp", ".desktop"});
    const auto slash = s.rfind('/');
    const auto file = slash == std::string_view::npos ? s : s.substr(slash + 1);
    return std::any_of(extensions.begin(), extensions.end(), [file](std::string_view extension) {
        return file.size() > extension.size() && file.ends_with(extension);
    });
}

bool isPathText(std::string_view s)
{
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return isIdentifierChar(c) || c == '/' || c == '.' || c == '-'; });
}

// `Calc(wparam, lparam)`, `poll()`, `RxBuf[0]`: the name called or indexed.
std::string_view withoutArguments(std::string_view s)
{
    if (s.empty() || (s.back() != ')' && s.back() != ']'))
        return s;
    const auto open = s.find(s.back() == ')' ? '(' : '[');
    return open == std::string_view::npos ? s : s.substr(0, open);
}

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::optional<PageName> named(std::string_view spelling, NameKind kind, std::string_view name)
{
    return PageName{0, std::string(spelling), kind, std::string(name)};
}

// A path, made relative: the build trees (`build/`, `build-asan/`) are made
// by the build and kept nowhere in the repository, so what can be checked of
// them is that the presets or scripts still name the folder.
std::optional<PageName> pathName(std::string_view spelling, std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const auto first = path.substr(0, path.find('/'));
    if (first == "build" || first.starts_with("build-"))
        return named(spelling, NameKind::Word, first);
    return named(spelling, NameKind::Path, path);
}

}  // namespace

std::optional<PageName> nameInSpan(std::string_view span)
{
    const auto spelling = trimmed(span);
    if (spelling.empty())
        return std::nullopt;
    // Options, preprocessor lines, paths outside the repository (`/proc`,
    // `~/.cache/...`).
    if (std::string_view("-#/~").find(spelling.front()) != std::string_view::npos)
        return std::nullopt;
    // Quoted texts, wildcards (`test_*.cpp`), placeholders (`tests/<area>`).
    if (spelling.find_first_of("\"'*<>`") != std::string_view::npos)
        return std::nullopt;

    auto name = withoutArguments(spelling);
    if (name.starts_with("::"))
        name.remove_prefix(2);
    // Anything with a space left is a command line or a phrase.
    if (name.empty() || name.find_first_of(" \t") != std::string_view::npos)
        return std::nullopt;

    if (name.find('/') != std::string_view::npos || hasSourceExtension(name)) {
        if (!isPathText(name) || name.find("..") != std::string_view::npos)
            return std::nullopt;
        return pathName(spelling, name);
    }
    if (isQualifiedName(name))
        return named(spelling, NameKind::Member, name);
    if (isIdentifier(name) || isHyphenatedWord(name))
        return named(spelling, NameKind::Word, name);
    return std::nullopt;  // numbers, operators, an extension alone (`.cpp`)
}

namespace {

// A fence line (```` ``` ```` or `~~~`, indented at most three spaces)
// opens or closes a code block.
bool isFence(std::string_view line)
{
    const auto text = line.substr(std::min(line.find_first_not_of(' '), line.size()));
    return line.size() - text.size() <= 3 && (text.starts_with("```") || text.starts_with("~~~"));
}

// A line that begins a block of its own: a table row, a list item or a
// heading. Backticks never pair across blocks.
bool beginsBlock(std::string_view line)
{
    const auto text = line.substr(std::min(line.find_first_not_of(' '), line.size()));
    if (text.starts_with('|') || text.starts_with('#') || text.starts_with("- ") || text.starts_with("* "))
        return true;
    const auto digits = text.find_first_not_of("0123456789");
    return digits != 0 && digits != std::string_view::npos && text.substr(digits).starts_with(". ");
}

struct Line {
    int number;
    std::string_view text;
};

std::vector<Line> linesOf(std::string_view page)
{
    std::vector<Line> lines;
    int number = 1;
    while (!page.empty()) {
        const auto end = page.find('\n');
        auto text = page.substr(0, end);
        if (text.ends_with('\r'))
            text.remove_suffix(1);
        lines.push_back({number++, text});
        if (end == std::string_view::npos)
            break;
        page.remove_prefix(end + 1);
    }
    return lines;
}

// The spans of one paragraph, whose lines are joined by spaces as Markdown
// does: a span may run on to the next line of its paragraph.
void addSpans(const std::vector<Line>& paragraph, std::vector<PageName>& names)
{
    std::string text;
    std::vector<std::pair<std::size_t, int>> lineStarts;  // offset in `text`, page line
    for (const auto& line : paragraph) {
        lineStarts.emplace_back(text.size(), line.number);
        text.append(line.text);
        text.push_back(' ');
    }
    const auto lineAt = [&](std::size_t offset) {
        auto after = std::upper_bound(lineStarts.begin(), lineStarts.end(),
                                      std::make_pair(offset, std::numeric_limits<int>::max()));
        return std::prev(after)->second;
    };

    std::size_t at = 0;
    while ((at = text.find('`', at)) != std::string::npos) {
        // A span opens with a run of backticks and closes at the next run of
        // the same length.
        const auto runEnd = text.find_first_not_of('`', at);
        const std::string run(text, at, (runEnd == std::string::npos ? text.size() : runEnd) - at);
        auto close = runEnd;
        while (close != std::string::npos) {
            close = text.find(run, close);
            if (close == std::string::npos || text.find_first_not_of('`', close) == close + run.size())
                break;
            close = text.find_first_not_of('`', close);
        }
        if (close == std::string::npos) {
            at = runEnd;  // a run that nothing closes is plain text
            continue;
        }
        if (auto name = nameInSpan(std::string_view(text).substr(runEnd, close - runEnd))) {
            name->line = lineAt(at);
            names.push_back(std::move(*name));
        }
        at = close + run.size();
    }
}

}  // namespace

std::vector<PageName> namesOnPage(std::string_view page)
{
    std::vector<PageName> names;
    std::vector<Line> paragraph;
    bool inFence = false;
    for (const auto& line : linesOf(page)) {
        const bool fence = isFence(line.text);
        if (inFence || fence || trimmed(line.text).empty() || beginsBlock(line.text)) {
            addSpans(paragraph, names);
            paragraph.clear();
        }
        if (fence)
            inFence = !inFence;
        if (inFence || fence || trimmed(line.text).empty())
            continue;
        paragraph.push_back(line);
    }
    addSpans(paragraph, names);
    return names;
}

}  // namespace docmap
