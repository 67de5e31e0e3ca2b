// The names C++ code declares or uses inside classes and namespaces, with
// the scopes they are in.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace docmap {

// Adds to `names` each name of the skeleton (see CppText) that stands inside
// a named class, struct, union, enum or namespace, or is spelled with
// qualifiers, as its scopes and qualifiers joined by `::`, together with
// every tail of two parts or more: `void ByteQueue::post()` inside
// `namespace ctl` gives `ctl::ByteQueue::post` and `ByteQueue::post`.
// Members reached through an object (`queue.post`, `queue->post`) belong to
// no scope that can be told from the text and are left out.
void addScopedNames(std::string_view skeleton, std::unordered_set<std::string>& names);

}  // namespace docmap
