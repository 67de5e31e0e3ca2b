// The repository as the architecture page is checked against it: its files
// and folders, the words of its code and build files, and the names its C++
// declares or uses inside classes and namespaces.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>

namespace docmap {

// The folders a page may name files in, read from the top of the repository;
// the build trees and Git's own folder are not among them.
inline constexpr std::string_view kTreeFolders[] = {"src",     "tools", "tests", "bench",     "fuzz",
                                                    "scripts", "cmake", "docs",  "packaging", ".ci"};

class SourceTree {
public:
    // The repository whose top folder is `root`.
    static SourceTree read(const std::filesystem::path& root);
    // A tree of the given files: path from the top, `/`-separated, to text.
    static SourceTree fromFiles(const std::map<std::string, std::string>& files);

    // A path that starts with a folder or file at the top must be there; any
    // other (`PortSelector.cpp`, `model/`) may end a path anywhere in the
    // tree, since the page names files relative to a folder it gave before.
    bool hasPath(std::string_view path) const;
    // An identifier, a CAPITALS option or a hyphenated program, package or
    // preset name, as a whole word of the code, CMake files or scripts.
    bool hasWord(std::string_view word) const;
    // `A::member`, `ns::A::member`: declared or used inside that scope, or
    // spelled so, in the C++ code.
    bool hasMember(std::string_view qualified) const;

private:
    void addFile(const std::string& path, const std::function<std::string()>& text);
    void addEntry(const std::string& path);

    std::set<std::string> entries_;  // files and folders
    std::set<std::string> top_;      // their first parts
    std::unordered_set<std::string> words_;
    std::unordered_set<std::string> members_;
};

}  // namespace docmap
