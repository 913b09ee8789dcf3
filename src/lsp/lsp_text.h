// Positions and names as the protocol has them: lines split as the compiler
// splits them, columns in UTF-16 code units, files as file: URIs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zan::lsp {

// The lines of `text`, split at CR LF, LF and CR.
std::vector<std::string> splitLines(std::string_view text);

// The UTF-16 offset of byte offset `byte` of a UTF-8 line, and back.
int64_t utf16Offset(std::string_view utf8Line, size_t byte);
size_t byteOffset(std::string_view utf8Line, int64_t utf16);
// The UTF-16 offset of the 1-based character column `column` of a UTF-8 line.
int64_t utf16OfCharacter(std::string_view utf8Line, int32_t column);

// The file path of a file: URI ("" for any other scheme), and the URI of an
// absolute path.
std::string uriToPath(std::string_view uri);
std::string pathToUri(std::string_view path);
// `path` made absolute against the current directory.
std::string absolutePath(const std::string& path);

}  // namespace zan::lsp
