// Output paths of extracted entries: stored names made safe below the extraction folder, and the
// folders on the way created without following links out of it.
#pragma once

#include <string>
#include <string_view>

namespace quil::outpath {

// The folder part of a path with its trailing '/', "" when there is none.
std::string FolderOf(std::string_view path);
// The part after the last '/'.
std::string FileNamePart(std::string_view path);
// `folder` made absolute against the current directory, with a trailing '/'.
std::string AbsoluteFolder(std::string_view folder);
// A stored name as a relative path that stays inside any folder it is joined to: '\\' becomes
// '/', a drive prefix ("C:") and leading '/' are dropped, and "", "." and ".." components are
// removed. May return "" (a name made only of such parts).
std::string SafeRelativePath(std::string_view stored);
// A hidden name on Linux: the last component starts with '.'.
bool IsHiddenName(std::string_view path);
// Creates `base` (absolute, trailing '/') when missing, then every folder of `file` below it one
// component at a time. A component that exists as a link or as a non-folder fails the call, so no
// link leads the output out of `base`. `file` must start with `base`.
bool CreateOutputFolders(const std::string& base, const std::string& file);

}  // namespace quil::outpath
