// SPDX-License-Identifier: MIT
// From a parsed file to timed events: tracks merged, ticks turned into time by
// the tempo map.
#include "sequence.h"

#include "zan/text_helpers.h"
#include "zan/translate.h"

#include <algorithm>

namespace zan::player {

namespace {

// Bytes of a MIDI file read to play it: a name that never ends (a character
// device, a pipe) must not take all memory. The compiler makes at most
// Limits::events events of a few bytes each (about 110 MB); texts of
// expanded lines aside, no file it writes comes near this.
constexpr size_t kMaxMidiFileBytes = 512u << 20;

struct Ref {
  uint32_t tick;
  uint32_t track;
  uint32_t index;
};

bool isTempo(const std::vector<uint8_t>& b) { return b.size() == 6 && b[0] == 0xFF && b[1] == 0x51 && b[2] == 3; }

}  // namespace

bool buildSequence(const smf::File& file, Sequence& out, std::string& error) {
  out = Sequence{};
  if (file.format != 0 && file.format != 1) {
    error = zan::tr("MIDI files of format ") + std::to_string(file.format) + zan::tr(" cannot be played");
    return false;
  }
  if (file.division <= 0 || file.division >= 0x8000) {
    error = zan::tr("MIDI files timed in SMPTE frames cannot be played");
    return false;
  }
  std::vector<Ref> refs;
  for (size_t t = 0; t < file.tracks.size(); ++t) {
    const auto& events = file.tracks[t].events;
    for (size_t i = 0; i < events.size(); ++i)
      refs.push_back(Ref{events[i].tick, static_cast<uint32_t>(t), static_cast<uint32_t>(i)});
  }
  // Already in track order, then event order: a stable sort by tick keeps
  // that order among events of one tick.
  std::stable_sort(refs.begin(), refs.end(), [](const Ref& a, const Ref& b) { return a.tick < b.tick; });

  out.division = file.division;
  out.tempo = TempoMap(file.division);
  size_t at = 0;  // the tempo change the walk stands in
  for (const Ref& r : refs) {
    const std::vector<uint8_t>& b = file.tracks[r.track].events[r.index].bytes;
    if (isTempo(b)) out.tempo.add(r.tick, (int64_t{b[3]} << 16) | (int64_t{b[4]} << 8) | b[5]);
    const int64_t us = out.tempo.usAtTick(r.tick, at);
    out.lengthUs = std::max(out.lengthUs, us);
    if (b.empty() || isTempo(b)) continue;
    const uint8_t status = b[0];
    TimedEvent e;
    e.us = us;
    e.track = r.track;
    e.trackEvent = r.index;
    e.offset = static_cast<uint32_t>(out.bytes.size());
    if (status >= 0x80 && status < 0xF0) {
      out.bytes.insert(out.bytes.end(), b.begin(), b.end());
    } else if (status == 0xF0) {
      // F0, a length, then the data with its closing F7: sent as F0 + data.
      size_t pos = 1;
      while (pos < b.size() && (b[pos] & 0x80)) ++pos;
      ++pos;
      out.bytes.push_back(0xF0);
      if (pos < b.size()) out.bytes.insert(out.bytes.end(), b.begin() + static_cast<long>(pos), b.end());
    } else {
      continue;
    }
    e.size = static_cast<uint32_t>(out.bytes.size() - e.offset);
    out.events.push_back(e);
  }
  return true;
}

bool loadSequence(const std::string& path, Sequence& out, std::string& error) {
  std::string bytes;
  if (ReadFile(path, kMaxMidiFileBytes, ReadAs::Bytes, bytes, error) != ReadStatus::Ok) return false;
  return loadSequence(std::vector<uint8_t>(bytes.begin(), bytes.end()), path, out, error);
}

bool loadSequence(const std::vector<uint8_t>& data, const std::string& name, Sequence& out, std::string& error) {
  smf::File file;
  std::string why;
  if (!smf::parse(data, file, why)) {
    error = name + zan::tr(" is not a valid MIDI file (") + why + ")";
    return false;
  }
  if (!buildSequence(file, out, why)) {
    error = name + ": " + why;
    return false;
  }
  return true;
}

}  // namespace zan::player
