// The names a page writes in backticks that the repository no longer has.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "page_names.h"
#include "source_tree.h"

namespace docmap {

struct StaleName {
    PageName name;
    std::string why;
};

// Each name on the page the tree lacks, in page order. A name in `allowed`
// (as looked up: the path, word or `scope::member`) is passed over.
std::vector<StaleName> staleNames(std::string_view page, const SourceTree& tree,
                                  const std::set<std::string, std::less<>>& allowed = {});

// One line per stale name, `page:line: `spelling`: why`.
std::string describe(std::string_view pageName, const std::vector<StaleName>& stale);

}  // namespace docmap
