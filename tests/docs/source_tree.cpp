#include "source_tree.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <sstream>

#include "scoped_names.h"
#include "source_text.h"

namespace docmap {
namespace {

enum class Reading {
    None,          // not code: documents, packaging, data, the checker's own pages
    Cpp,           // comments blanked, names taken with their scopes
    HashComments,  // CMake files, scripts
    Plain,         // forms, resources, presets, templates
};

std::string_view extensionOf(std::string_view file)
{
    const auto dot = file.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : file.substr(dot);
}

// Which files a name of the code may be found in, and how they are read.
// The pages under docs/ and the README would vouch for their own names, so
// only code and build files count; so do not the fixtures of this checker,
// which name stale things on purpose.
Reading readingOf(std::string_view path)
{
    const auto slash = path.find('/');
    if (slash == std::string_view::npos) {
        if (path == "CMakeLists.txt")
            return Reading::HashComments;
        if (path == "CMakePresets.json")
            return Reading::Plain;
        return Reading::None;
    }
    static constexpr auto codeFolders = std::to_array<std::string_view>(
        {"src", "tools", "tests", "bench", "scripts", "cmake", "fuzz", ".ci"});
    const auto folder = path.substr(0, slash);
    if (std::find(codeFolders.begin(), codeFolders.end(), folder) == codeFolders.end())
        return Reading::None;
    if (path.starts_with("tests/docs/"))
        return Reading::None;

    const auto file = path.substr(path.rfind('/') + 1);
    const auto extension = extensionOf(file);
    if (extension == ".h" || extension == ".hpp" || extension == ".cpp" || extension == ".cc" ||
        extension == ".c")
        return Reading::Cpp;
    if (file == "CMakeLists.txt" || extension == ".cmake" || extension == ".sh" || extension == ".supp")
        return Reading::HashComments;
    if (extension == ".ui" || extension == ".qrc" || extension == ".json" || extension == ".in")
        return Reading::Plain;
    // Scripts without an extension (.ci/run).
    if (extension.empty() && (folder == "scripts" || folder == ".ci"))
        return Reading::HashComments;
    return Reading::None;
}

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// Every identifier of the text, and every run of them joined by hyphens
// (`fonts-liberation2`, `windows-tests`).
void addWords(std::string_view text, std::unordered_set<std::string>& words)
{
    std::size_t at = 0;
    while (at < text.size()) {
        if (!isWordChar(text[at])) {
            ++at;
            continue;
        }
        auto end = at;
        auto hyphenatedEnd = at;
        while (end < text.size() && isWordChar(text[end]))
            ++end;
        words.emplace(text.substr(at, end - at));
        for (auto next = end; next + 1 < text.size() && text[next] == '-' && isWordChar(text[next + 1]);) {
            ++next;
            while (next < text.size() && isWordChar(text[next]))
                ++next;
            hyphenatedEnd = next;
        }
        if (hyphenatedEnd > end)
            words.emplace(text.substr(at, hyphenatedEnd - at));
        at = end;
    }
}

std::string contentsOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

SourceTree SourceTree::read(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    SourceTree tree;
    for (const auto& entry : fs::directory_iterator(root)) {
        const auto name = entry.path().filename().generic_string();
        if (entry.is_regular_file())
            tree.addFile(name, [&] { return contentsOf(entry.path()); });
    }
    for (const auto folder : kTreeFolders) {
        if (!fs::is_directory(root / folder))
            continue;
        tree.addEntry(std::string(folder));
        for (const auto& entry :
             fs::recursive_directory_iterator(root / folder, fs::directory_options::skip_permission_denied)) {
            const auto path = entry.path().lexically_relative(root).generic_string();
            if (entry.is_directory()) {
                tree.addEntry(path);
            } else if (entry.is_regular_file()) {
                tree.addFile(path, [&] { return contentsOf(entry.path()); });
            }
        }
    }
    return tree;
}

SourceTree SourceTree::fromFiles(const std::map<std::string, std::string>& files)
{
    SourceTree tree;
    for (const auto& [path, text] : files) {
        for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
            tree.addEntry(path.substr(0, slash));
        tree.addFile(path, [&text = text] { return text; });
    }
    return tree;
}

void SourceTree::addEntry(const std::string& path)
{
    entries_.insert(path);
    top_.insert(path.substr(0, path.find('/')));
}

void SourceTree::addFile(const std::string& path, const std::function<std::string()>& text)
{
    addEntry(path);
    switch (readingOf(path)) {
    case Reading::None: break;
    case Reading::Cpp: {
        const auto cpp = readCpp(text());
        addWords(cpp.code, words_);
        addScopedNames(cpp.skeleton, members_);
        break;
    }
    case Reading::HashComments: addWords(withoutHashComments(text()), words_); break;
    case Reading::Plain: addWords(text(), words_); break;
    }
}

bool SourceTree::hasPath(std::string_view path) const
{
    const std::string wanted(path);
    if (top_.contains(wanted.substr(0, wanted.find('/'))))
        return entries_.contains(wanted);
    const auto tail = "/" + wanted;
    return std::any_of(entries_.begin(), entries_.end(),
                       [&tail](const std::string& entry) { return entry.ends_with(tail); });
}

bool SourceTree::hasWord(std::string_view word) const { return words_.contains(std::string(word)); }

bool SourceTree::hasMember(std::string_view qualified) const
{
    return members_.contains(std::string(qualified));
}

}  // namespace docmap
