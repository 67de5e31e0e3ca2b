// Giving a small file new contents without leaving it truncated or
// half-written where that can be avoided, also where the operator may
// write the file but not the directory that holds it.
#pragma once

#include <filesystem>
#include <string_view>

namespace settings {

// Gives the file at path the contents bytes, creating it when missing.
// A symlink is written through: the file it names gets the contents and
// the link stays.
//
// Where a file can be created beside the target and given the target's
// owner, group and mode, the contents go there first and are renamed over
// the target in one step. Otherwise (a directory the operator may not
// write, a file that belongs to someone else) the target itself is
// rewritten: the part that lengthens it first, so that running out of
// space or quota leaves the old contents (cut back to their old length),
// then the rest over the old bytes, the length cut last; an interruption
// part-way through the overwrite can leave a mixture.
//
// A file that exists but may not be written is left alone even where the
// directory would let it be replaced. Returns false when the contents
// could not be stored.
bool rewriteFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace settings
