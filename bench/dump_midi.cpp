// SPDX-License-Identifier: MIT
// Prints the music of a MIDI file as the project's own reader sees it, one
// event a line ("TICK TEXT"), for bench/compare_import.py: note-offs
// without their velocity (a note-on of velocity 0 is a note-off), meta
// events other than tempo and texts left out, ticks times NUM / DEN.
//   zan_dump_midi FILE [NUM DEN]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zan/smf_format.h"
#include "zan/text_helpers.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: zan_dump_midi FILE [NUM DEN]\n");
    return 2;
  }
  const long long num = argc == 4 ? std::atoll(argv[2]) : 1, den = argc == 4 ? std::atoll(argv[3]) : 1;
  std::string bytes, error;
  if (zan::ReadFile(argv[1], 512u << 20, zan::ReadAs::Bytes, bytes, error) != zan::ReadStatus::Ok) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  zan::smf::File file;
  if (!zan::smf::parse(std::vector<uint8_t>(bytes.begin(), bytes.end()), file, error, zan::smf::Accept::AnyWellFormed)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 2;
  }
  for (const zan::smf::Track& t : file.tracks)
    for (const zan::smf::Event& e : t.events) {
      std::vector<uint8_t> b = e.bytes;
      if ((b[0] & 0xF0) == 0x90 && b.size() > 2 && b[2] == 0) b[0] = static_cast<uint8_t>(0x80 | (b[0] & 0x0F));
      if ((b[0] & 0xF0) == 0x80) b.resize(2);
      if (b[0] == 0xFF && b[1] != 0x51 && b[1] != 0x02 && b[1] != 0x03 && b[1] != 0x04) continue;
      std::printf("%lld", (static_cast<long long>(e.tick) * num * 2 + den) / (2 * den));
      for (uint8_t x : b) std::printf(" %02X", x);
      std::printf("\n");
    }
  return 0;
}
