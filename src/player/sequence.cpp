// From a parsed file to timed events: tracks merged, ticks turned into time by
// the tempo map.
#include "sequence.h"

#include "zan/text_helpers.h"

#include <algorithm>

namespace zan::player {

namespace {

constexpr int64_t kDefaultTempo = 500000;  // microseconds per quarter note until the first tempo event
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
    error = "MIDI files of format " + std::to_string(file.format) + " cannot be played";
    return false;
  }
  if (file.division <= 0 || file.division >= 0x8000) {
    error = "MIDI files timed in SMPTE frames cannot be played";
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

  // Time is kept as microseconds times the division, which stays exact.
  const int64_t division = file.division;
  int64_t scaled = 0;
  int64_t tempo = kDefaultTempo;
  out.division = file.division;
  out.tempos.push_back(TempoChange{0, 0, kDefaultTempo});
  uint32_t lastTick = 0;
  for (const Ref& r : refs) {
    const std::vector<uint8_t>& b = file.tracks[r.track].events[r.index].bytes;
    scaled += static_cast<int64_t>(r.tick - lastTick) * tempo;
    lastTick = r.tick;
    const int64_t us = (scaled + division / 2) / division;
    out.lengthUs = std::max(out.lengthUs, us);
    if (b.empty()) continue;
    if (isTempo(b)) {
      tempo = (int64_t{b[3]} << 16) | (int64_t{b[4]} << 8) | b[5];
      if (out.tempos.back().tick == r.tick) out.tempos.pop_back();
      out.tempos.push_back(TempoChange{r.tick, scaled, tempo});
      continue;
    }
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

int64_t Sequence::usAtTick(int64_t tick) const {
  if (tempos.empty() || division <= 0) return 0;
  tick = std::max<int64_t>(tick, 0);
  auto it = std::upper_bound(tempos.begin(), tempos.end(), tick,
                             [](int64_t t, const TempoChange& c) { return t < static_cast<int64_t>(c.tick); });
  const TempoChange& c = *(it == tempos.begin() ? it : it - 1);
  return (c.scaledUs + (tick - c.tick) * c.tempo + division / 2) / division;
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
    error = name + " is not a valid MIDI file (" + why + ")";
    return false;
  }
  if (!buildSequence(file, out, why)) {
    error = name + ": " + why;
    return false;
  }
  return true;
}

}  // namespace zan::player
