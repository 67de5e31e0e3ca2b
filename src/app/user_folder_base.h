// The environment variable the per-user folder is found under on this
// system, named in the message when it is missing.
#pragma once

namespace app::detail {

#ifdef _WIN32
inline constexpr const char* kUserFolderBase = "APPDATA";
#else
inline constexpr const char* kUserFolderBase = "HOME";
#endif

}  // namespace app::detail
