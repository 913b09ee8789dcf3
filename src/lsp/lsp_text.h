// SPDX-License-Identifier: MIT
// Positions and names as the protocol has them: lines split as the compiler
// splits them and files as file: URIs (columns in UTF-16 code units come from
// zan/line_columns.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zan::lsp {

// The lines of `text`, split at CR LF, LF and CR.
std::vector<std::string> splitLines(std::string_view text);

// The file path of a file: URI ("" for any other scheme), and the URI of an
// absolute path.
std::string uriToPath(std::string_view uri);
std::string pathToUri(std::string_view path);
// `path` made absolute against the current directory.
std::string absolutePath(const std::string& path);
// `path` made absolute, with "." and ".." taken out: one file has one name
// whether the client or an #include names it (links are not followed).
std::string normalPath(const std::string& path);

}  // namespace zan::lsp
