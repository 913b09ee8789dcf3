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
  size_t count = 0, bytes = 0;
  for (const smf::Track& track : file.tracks) {
    count += track.events.size();
    for (const smf::Event& e : track.events) bytes += e.bytes.size();
  }
  refs.reserve(count);
  out.events.reserve(count);
  out.bytes.reserve(bytes);
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
    e.tick = r.tick;
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

int stateSlot(const uint8_t* b, uint32_t size) {
  if (size < 2) return -1;
  switch (b[0] & 0xF0) {
    case 0xB0: return size >= 3 ? (b[1] & 0x7F) : -1;
    case 0xC0: return kProgramSlot;
    case 0xD0: return kPressureSlot;
    case 0xE0: return size >= 3 ? kBendSlot : -1;
    default: return -1;
  }
}

int stateValue(const uint8_t* b) {
  switch (b[0] & 0xF0) {
    case 0xB0: return b[2] & 0x7F;
    case 0xE0: return (b[1] & 0x7F) | (b[2] & 0x7F) << 7;
    default: return b[1] & 0x7F;
  }
}

int powerOnValue(int slot) {
  switch (slot) {
    case 7: return 100;             // volume
    case 8: case 10: return 64;     // balance, pan
    case 11: return 127;            // expression
    case 100: case 101: return 127; // no parameter number chosen
    case kBendSlot: return 8192;    // centre
    default: return 0;
  }
}

uint32_t stateMessage(int ch, int slot, int value, uint8_t* out) {
  const auto c = static_cast<uint8_t>(ch & 0x0F);
  if (slot < 128) {
    out[0] = 0xB0 | c, out[1] = static_cast<uint8_t>(slot), out[2] = static_cast<uint8_t>(value & 0x7F);
    return 3;
  }
  if (slot == kBendSlot) {
    out[0] = 0xE0 | c, out[1] = static_cast<uint8_t>(value & 0x7F), out[2] = static_cast<uint8_t>(value >> 7 & 0x7F);
    return 3;
  }
  out[0] = static_cast<uint8_t>((slot == kProgramSlot ? 0xC0 : 0xD0) | c), out[1] = static_cast<uint8_t>(value & 0x7F);
  return 2;
}

void Sequence::step(size_t index, MusicState& state) const {
  const TimedEvent& e = events[index];
  const uint8_t* b = data(e);
  const uint8_t kind = b[0] & 0xF0;
  if ((kind == 0x80 || kind == 0x90) && e.size == 3) {
    const size_t at = (b[0] & 0x0Fu) * 128u + (b[1] & 0x7Fu);
    if (kind == 0x90 && b[2] != 0) {
      if (state.held[at] < 255) ++state.held[at];
      state.lastOn[at] = static_cast<int32_t>(index);
    } else if (state.held[at] > 0) {
      --state.held[at];
    }
    return;
  }
  const int slot = stateSlot(b, e.size);
  if (slot >= 0) state.setter[(b[0] & 0x0Fu) * kStateSlots + static_cast<size_t>(slot)] = static_cast<int32_t>(index);
}

void Sequence::stateBefore(size_t end, MusicState& out) const {
  end = std::min(end, events.size());
  const size_t k = std::min(end / kCheckpointEvery, checkpoints.size() - 1);
  out = checkpoints[k];
  for (size_t i = k * kCheckpointEvery; i < end; ++i) step(i, out);
}

size_t Sequence::firstEventAtTick(double tick) const {
  return static_cast<size_t>(std::lower_bound(events.begin(), events.end(), tick,
                                              [](const TimedEvent& e, double t) { return e.tick < t; }) -
                             events.begin());
}

void indexForSwap(Sequence& s) {
  s.checkpoints.clear();
  s.checkpoints.reserve(s.events.size() / Sequence::kCheckpointEvery + 1);
  MusicState state;
  state.clear();
  for (size_t i = 0;; ++i) {
    if (i % Sequence::kCheckpointEvery == 0) s.checkpoints.push_back(state);
    if (i == s.events.size()) break;
    s.step(i, state);
  }
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
