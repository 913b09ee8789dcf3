// SPDX-License-Identifier: MIT
// Imports arbitrary bytes as a MIDI file, as zan import does. No input may
// crash the importer; a score it writes must compile without an error, and
// to the music of the file where the import reported no loss.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zan/midi_import.h"
#include "zan/tsmf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  zan::midi_import::Options options;
  options.quantize = size > 0 && data[size - 1] % 4 == 0 ? 16 : 0;  // the grid too, now and then
  zan::midi_import::Result result;
  std::string error;
  if (!zan::midi_import::importSmf(bytes, options, result, error)) {
    if (error.empty() || error.find('\n') != std::string::npos) __builtin_trap();  // one line, always
    return 0;
  }
  // Scores of a few megabytes compile in well under a second; larger ones
  // only slow the search down.
  if (result.score.size() > (4u << 20)) return 0;
  zan::TSmf smf;
  int errors = 0;
  smf.messageSink = [&errors](const std::string& line) { errors += line.rfind("err", 0) == 0; };
  smf.sourceLines.setText(result.score);
  smf.CompileToBytes();
  if (smf.errorsReported > 0 || errors > 0) __builtin_trap();
  return 0;
}
