#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace zan::test {

std::string hex(const uint8_t* bytes, size_t n) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
    if (i) s += ' ';
    s += buf;
  }
  return s;
}

std::string hex(const std::vector<uint8_t>& bytes) { return hex(bytes.data(), bytes.size()); }

Score& Score::compile(const std::string& source, uint32_t seed) {
  smf.Reset();
  return compileAgain(source, seed);
}

Score& Score::compileAgain(const std::string& source, uint32_t seed) {
  messages.clear();
  smf.randSeed = seed;
  smf.sourceLines.setText(toCp932(source));
  file = smf.CompileToBytes();
  return *this;
}

std::vector<std::string> Score::errors() const {
  std::vector<std::string> out;
  for (const std::string& m : messages)
    if (m.rfind("err(", 0) == 0) out.push_back(m);
  return out;
}

std::vector<std::string> Score::events(int t) const {
  std::vector<std::string> out;
  const Tivent& list = smf.events[t];
  for (const Tivent::Entry& e : list.entries())
    out.push_back(std::to_string(e.time) + ": " + hex(list.bytes(e), static_cast<size_t>(e.size)));
  return out;
}

smf::File Score::parsed() const {
  smf::File f;
  std::string error;
  EXPECT_TRUE(smf::parse(file, f, error)) << error;
  return f;
}

}  // namespace zan::test
