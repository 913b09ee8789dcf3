// SPDX-License-Identifier: MIT
// Writes the message catalogs po/*.po as C++ source (src/compiler/catalogs.h),
// so that the programs carry their languages inside and find no files at
// run time. Reads the plain gettext form: msgid and msgstr with their
// continuation lines and comments; fuzzy and untranslated entries are left
// out, as msgfmt leaves them out.
//
//   make_catalogs OUT.cpp LANG.po...
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Failure {
  std::string what;
};

// The text of one quoted PO string, `line` starting at its opening quote.
std::string unquote(const std::string& line, const std::string& where) {
  size_t end = line.find_last_not_of(" \t\r");
  if (line.empty() || line[0] != '"' || end == std::string::npos || end == 0 || line[end] != '"')
    throw Failure{where + ": a quoted string was expected"};
  std::string out;
  for (size_t i = 1; i < end; ++i) {
    char c = line[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= end) throw Failure{where + ": a backslash ends the string"};
    switch (line[i]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      default: throw Failure{where + ": unknown escape \\" + line[i]};
    }
  }
  return out;
}

// A C++ literal of any bytes: octal escapes (never more than three digits,
// so a following digit is never taken in) for all but plain ASCII.
std::string literal(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F && c != '?') {  // '?' too: no trigraphs
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\%03o", c);
      out += buf;
    }
  }
  return out + "\"";
}

std::map<std::string, std::string> readPo(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw Failure{path + ": cannot be read"};
  std::map<std::string, std::string> messages;
  std::string id, str, line;
  std::string* field = nullptr;  // what a continuation line adds to
  bool fuzzy = false, haveEntry = false;
  int number = 0;
  auto finish = [&] {
    if (haveEntry && !id.empty() && !str.empty() && !fuzzy) {
      if (!messages.emplace(id, str).second) throw Failure{path + ": msgid \"" + id + "\" appears twice"};
    }
    id.clear();
    str.clear();
    field = nullptr;
    fuzzy = haveEntry = false;
  };
  while (std::getline(in, line)) {
    ++number;
    const std::string where = path + ":" + std::to_string(number);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (line.rfind("#,", 0) == 0 && line.find("fuzzy") != std::string::npos) {
        if (haveEntry) finish();
        fuzzy = true;
      }
      continue;
    }
    if (line.rfind("msgid ", 0) == 0) {
      const bool wasFuzzy = fuzzy && !haveEntry;
      finish();
      fuzzy = wasFuzzy;
      haveEntry = true;
      id = unquote(line.substr(6), where);
      field = &id;
    } else if (line.rfind("msgstr ", 0) == 0) {
      if (!haveEntry) throw Failure{where + ": msgstr without msgid"};
      str = unquote(line.substr(7), where);
      field = &str;
    } else if (line[0] == '"') {
      if (field == nullptr) throw Failure{where + ": a string outside an entry"};
      *field += unquote(line, where);
    } else {
      throw Failure{where + ": not read (only msgid, msgstr and comments are): " + line};
    }
  }
  finish();
  return messages;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: make_catalogs OUT.cpp LANG.po...\n";
    return 2;
  }
  try {
    std::ostringstream out;
    out << "// Made by make_catalogs from the .po files: not to be edited.\n"
           "#include \"catalogs.h\"\n\nnamespace zan::catalogs {\nnamespace {\n\n";
    std::vector<std::string> languages;
    for (int i = 2; i < argc; ++i) {
      const std::string path = argv[i];
      std::string name = path.substr(path.find_last_of('/') + 1);
      if (name.size() < 4 || name.compare(name.size() - 3, 3, ".po") != 0) throw Failure{path + ": not a .po file"};
      name.resize(name.size() - 3);
      const std::map<std::string, std::string> messages = readPo(path);  // sorted as strcmp sorts
      out << "const Message k_" << languages.size() << "[] = {\n";
      for (const auto& [id, str] : messages) out << "    {" << literal(id) << ",\n     " << literal(str) << "},\n";
      if (messages.empty()) out << "    {\"\", \"\"},\n";
      out << "};\nconstexpr size_t k_" << languages.size() << "_count = " << messages.size() << ";\n\n";
      languages.push_back(name);
    }
    out << "}  // namespace\n\nconst Catalog kCatalogs[] = {\n";
    for (size_t i = 0; i < languages.size(); ++i)
      out << "    {" << literal(languages[i]) << ", k_" << i << ", k_" << i << "_count},\n";
    if (languages.empty()) out << "    {\"\", nullptr, 0},\n";
    out << "};\nconst size_t kCatalogCount = " << languages.size() << ";\n\n}  // namespace zan::catalogs\n";
    std::ofstream file(argv[1], std::ios::binary);
    file << out.str();
    if (!file.flush()) throw Failure{std::string(argv[1]) + ": cannot be written"};
  } catch (const Failure& f) {
    std::cerr << "make_catalogs: " << f.what << '\n';
    return 1;
  }
  return 0;
}
