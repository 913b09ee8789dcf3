// SPDX-License-Identifier: MIT
// From a Standard MIDI File to a score: the file's events gathered into one
// timeline a track, then written as notes, rests and commands that land on
// the same ticks when the score is compiled.
//
// How the compiler places what it writes, which the importer inverts:
// - a note starts at the time pointer, and its note-off comes one tick
//   before the end of its sounding length (length x gate / 16 + gate
//   offset, rounded half to even), but never before the tick after its
//   note-on; the note-off carries the note-on's velocity;
// - tempo is placed 3 ticks before the pointer; control and program
//   changes, pitch bends and meta texts 1 tick before; system exclusive at
//   the pointer; anything before tick 0 at tick 0.
#include "zan/midi_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <limits>
#include <map>
#include <unordered_map>
#include <tuple>

#include "arith.h"
#include "zan/smf_format.h"
#include "zan/translate.h"

namespace zan::midi_import {

namespace {

// The timebases a score may set (#timebase).
constexpr int kMinTimebase = 13;
constexpr int kMaxTimebase = 1536;
// Notes a chord holds (c0e0g: 31 may wait for the last); more that start
// together are written as a group.
constexpr size_t kMaxChordNotes = 32;
// Whole bars of silence written as a repeat of one bar's rest; more are
// one rest.
constexpr int64_t kMaxRepeatedBars = 64;
// The last tick a score can reach: time pointers are 32-bit.
constexpr int64_t kMaxTick = 2'000'000'000;
// Tracks a score holds (_tr 0..127).
constexpr int kMaxTracks = 128;
// Values an EX command takes, the status byte and closing F7 included.
constexpr size_t kMaxSysexValues = 128;
// Bytes a meta text keeps (the compiler writes at most this many).
constexpr size_t kMaxMetaText = 127;
// A time no later point reaches: the gap after a track's last event.
constexpr int64_t kOpenEnd = std::numeric_limits<int64_t>::max() / 4;
constexpr int kDrumChannel = 9;
// The largest gate offset a line is given: a quarter note at the largest
// timebase; beyond it the notes are written with lengths of their own.
constexpr int kMaxOffset = 1536;
// The largest gate a note is given of its own: beyond it a group reads
// better than a note sounding many times its length.
constexpr int kMaxOwnGate = 32;

int64_t scaleTick(int64_t tick, int64_t num, int64_t den) { return num == den ? tick : (tick * num + den / 2) / den; }

// A command that is not a note: where it must land and what writes it.
struct Command {
  int64_t tick;     // where the event must land
  int lead;         // ticks the compiler places it before the pointer
  int64_t order;    // file order, for commands written at one point
  std::string text;
};

struct Note {
  int64_t start;
  int64_t end;  // the note-off's tick, after start
  uint8_t key;
  uint8_t velocity;
};

struct OutTrack {
  int source = 0;     // track chunk in the file
  int channel = -1;   // 0..15, or -1 for a track of meta events alone
  std::string name;   // for the _tr line's comment
  std::vector<Note> notes;
  std::vector<Command> commands;
};

// What the language cannot write, counted for the one warning.
struct Dropped {
  int64_t keyPressure = 0, channelPressure = 0, otherMeta = 0, longSysex = 0, texts = 0;
  int64_t inexactTempo = 0, largestTempoError = 0;  // µs a quarter
  int64_t zeroLength = 0, unmatchedOff = 0, unended = 0;
};

// The timeline of one track: a point is a tick where the pointer must
// stand, with the commands written there and the notes that start there.
struct Point {
  int64_t tick;
  std::vector<const Command*> commands;
  std::vector<const Note*> notes;
};

// Bar lines from the time signatures (or 4/4 for line breaks alone).
struct Bars {
  struct Segment {
    int64_t start, length;
  };
  std::vector<Segment> segments;  // by start; the first at 0
  bool marked = false;            // the file has a time signature: write `|`
  size_t segmentAt(int64_t t) const {
    size_t i = segments.size() - 1;
    while (i > 0 && segments[i].start > t) --i;
    return i;
  }
  // The first bar line after `t`.
  int64_t next(int64_t t) const {
    const size_t i = segmentAt(t);
    const Segment& s = segments[i];
    int64_t b = s.start + ((t - s.start) / s.length + 1) * s.length;
    if (i + 1 < segments.size() && b > segments[i + 1].start) b = segments[i + 1].start;
    return b;
  }
};

// One note, or a chord of notes that end together with one velocity: what
// the chord form writes.
bool alike(const Point& p) {
  if (p.notes.size() > kMaxChordNotes) return false;
  for (const Note* n : p.notes)
    if (n->end != p.notes.back()->end || n->velocity != p.notes.back()->velocity) return false;
  return true;
}


// The settings a line of the score starts with.
struct LineState {
  int64_t length = 96;  // l, ticks
  int velocity = 100;   // v
  int gate = 14;        // q
  int offset = 0;       // Q%, ticks
  int octave = 4;       // o
};

// How a note is written: its length (0: a chord note), its own gate (0:
// the line's), whether it needs its own velocity.
struct NoteForm {
  int64_t length = 0;
  int gate = 0;
};

// Whether a note of `length` at gate `gate` and offset `offset` sounds
// `duration` ticks from its note-on to its note-off, by the compiler's own rule.
bool sounds(int64_t length, int gate, int offset, int64_t duration) {
  return noteOffDelay(soundingTicks(length, gate, offset)) == duration;
}

class Writer {
 public:
  Writer(int timebase, const Bars& bars, Result& result) : tb_(timebase), bars_(bars), result_(result) {
    for (int n : {1, 2, 4, 8, 16, 32, 64, 3, 6, 12, 24, 48, 96}) {
      if ((4 * tb_) % n != 0) continue;
      const int64_t base = 4 * tb_ / n;
      values_.push_back({base, std::to_string(n)});
      if (base % 2 == 0) values_.push_back({base + base / 2, std::to_string(n) + "."});
    }
    // Longest first; of two texts for one length (16 and 24. at some
    // timebases), the shorter.
    std::sort(values_.begin(), values_.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first > b.first : a.second.size() < b.second.size();
    });
  }

  void track(int number, const OutTrack& t, std::string& out);

 private:
  // A length as the shortest text that makes it: a note value, dotted, two
  // tied, or % ticks.
  std::string lengthText(int64_t ticks) const;
  // The shortest note value of `ticks` or more, else `ticks`.
  int64_t valueAtLeast(int64_t ticks) const {
    int64_t best = ticks;
    for (const auto& v : values_)
      if (v.first >= ticks) best = v.first;
    return best;
  }
  // The form of a note of `duration` ticks (note-on to note-off) in a slot
  // `gap` ticks long: the line's gate where it fits, else its own.
  NoteForm form(int64_t duration, int64_t gap, const LineState& s) const;
  // `inGroup`: the note stands in a /group/, where a note without a length
  // takes the group's and `&` is not read.
  std::string noteText(const Note& n, const NoteForm& f, bool withVelocity, bool chordNote, bool inGroup);
  void rest(int64_t from, int64_t to, std::string& line);
  void writeLine(const std::vector<Point>& points, size_t first, size_t stop, int64_t lineEnd, std::string& out);
  void chooseDefaults(const std::vector<Point>& points, size_t first, size_t last);

  int tb_;
  const Bars& bars_;
  Result& result_;
  std::vector<std::pair<int64_t, std::string>> values_;  // note values, longest first
  mutable std::unordered_map<int64_t, std::string> lengthTexts_;  // lengthText's answers
  std::vector<int> needs_;                                // chooseDefaults' offsets, reused
  bool drums_ = false;
  LineState state_;
  int64_t pointer_ = 0;
  std::string pending_;  // what the line under way holds
};

std::string Writer::lengthText(int64_t ticks) const {
  // A score uses a few lengths over and over.
  if (const auto it = lengthTexts_.find(ticks); it != lengthTexts_.end()) return it->second;
  std::string& best = lengthTexts_[ticks];
  best = "%" + std::to_string(ticks);
  for (const auto& [len, text] : values_) {
    if (len == ticks) return best = text;
    if (len < ticks)
      for (const auto& [len2, text2] : values_)
        if (len + len2 == ticks && text.size() + text2.size() + 1 < best.size()) best = text + "^" + text2;
  }
  return best;
}

NoteForm Writer::form(int64_t duration, int64_t gap, const LineState& s) const {
  if (gap < kOpenEnd && sounds(gap, s.gate, s.offset, duration)) return {gap, 0};
  for (const auto& [len, text] : values_)
    if (len <= gap && sounds(len, s.gate, s.offset, duration)) return {len, 0};
  // Lengths the line's gate makes right, then the gate of 16.
  const double want = (static_cast<double>(duration) + 1 - s.offset) * 16.0 / s.gate;
  // A short gate stretches a long note's length past what a score's ticks
  // can hold: such a note takes a gate of its own or the gate of 16.
  for (int64_t len : {static_cast<int64_t>(std::floor(want)), static_cast<int64_t>(std::ceil(want))})
    if (len >= 1 && len <= gap && len <= kMaxTick && sounds(len, s.gate, s.offset, duration)) return {len, 0};
  if (gap < kOpenEnd) {
    const double g = std::min<double>((static_cast<double>(duration) + 1 - s.offset) * 16.0 / static_cast<double>(gap),
                                      kMaxOwnGate + 1);
    for (int gate : {static_cast<int>(std::floor(g)), static_cast<int>(std::ceil(g))})
      if (gate >= 1 && gate <= kMaxOwnGate && sounds(gap, gate, s.offset, duration)) return {gap, gate};
  }
  // REQUIRES: the offset is at most duration + 1 (chooseDefaults keeps it
  // so); at that bound the note sounds for the offset alone.
  const int64_t len = duration + 1 - s.offset;
  if (len < 1 || !sounds(len, 16, s.offset, duration)) return {1, 1};
  return {len, 16};
}

std::string Writer::noteText(const Note& n, const NoteForm& f, bool withVelocity, bool chordNote, bool inGroup) {
  std::string t;
  if (drums_) {
    t = "n" + std::to_string(n.key);
  } else {
    static constexpr const char* kNames[12] = {"c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"};
    const int octave = n.key / 12;
    const int d = octave - state_.octave;
    if (d != 0) {
      const std::string sign = d > 0 ? ">" : "<";
      const int a = std::abs(d);
      // A group holds notes and bare < > alone.
      std::string rel;
      for (int k = 0; k < (inGroup || a <= 2 ? a : 1); ++k) rel += sign;
      if (!inGroup && a > 2) rel += std::to_string(a);
      const std::string abs = "o" + std::to_string(octave);
      t += (inGroup || rel.size() <= abs.size() ? rel : abs + " ");
      state_.octave = octave;
    }
    t += kNames[n.key % 12];
  }
  const std::string len = chordNote                                    ? "0"
                          : f.length == state_.length && !inGroup ? ""
                                                                       : lengthText(f.length);
  std::string suffix;  // a chord note takes the last note's velocity and gate
  const std::string velocity = withVelocity ? std::to_string(n.velocity) : "";
  if (chordNote) suffix = "";
  else if (f.gate == 16 && !inGroup) suffix = (withVelocity ? "," + velocity : "") + "&";
  else if (f.gate != 0) suffix = "," + velocity + "," + std::to_string(f.gate);
  else if (withVelocity) suffix = "," + velocity;
  if (drums_) {
    if (!len.empty() || (!suffix.empty() && suffix != "&")) t += "," + len;
  } else {
    t += len;
  }
  t += suffix;
  if (!chordNote) {
    ++result_.notes;
    if (len.find('%') != std::string::npos) ++result_.notesWithTicks;
  }
  return t;
}

void Writer::rest(int64_t from, int64_t to, std::string& line) {
  while (from < to) {
    // Whole bars of silence, two or more: one repeat, or one rest however
    // long the silence (a file's delta time may skip millions of bars).
    const size_t i = bars_.segmentAt(from);
    const Bars::Segment& s = bars_.segments[i];
    if ((from - s.start) % s.length == 0) {
      const int64_t end = std::min(to, i + 1 < bars_.segments.size() ? bars_.segments[i + 1].start : to);
      const int64_t bars = (end - from) / s.length;
      if (bars > kMaxRepeatedBars) {
        // Beyond a few dozen bars a repeat says no more than one rest does,
        // and each pass costs the compiler a command.
        line += (line.empty() || line.back() == ' ' ? "r%" : " r%") + std::to_string(bars * s.length) +
                (bars_.marked ? " |" : "");
        from += bars * s.length;
        continue;
      }
      if (bars >= 2) {
        line += (line.empty() || line.back() == ' ' ? "[" : " [") + std::to_string(bars) + " r" +
                (s.length == state_.length ? "" : lengthText(s.length)) + (bars_.marked ? " | ]" : " ]");
        from += bars * s.length;
        continue;
      }
    }
    const int64_t bar = bars_.next(from);
    const int64_t step = std::min(to, bar) - from;
    line += (line.empty() || line.back() == ' ' ? "r" : " r") + (step == state_.length ? "" : lengthText(step));
    from += step;
    if (from == bar && bars_.marked) line += " |";
  }
}

// The line's gate, gate offset, length and velocity: those that leave the
// most notes without a length or a suffix of their own.
void Writer::chooseDefaults(const std::vector<Point>& points, size_t first, size_t last) {
  // For each gate, the offset most notes need to fill their slot; the
  // pair that serves most notes wins. The pair in force wins a tie (no q
  // or Q to write), then an offset of 0, then the longer gate.
  static constexpr int kGates[] = {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  int bestCount = -1;
  LineState best = state_;
  auto rank = [&](const LineState& s, int count) {
    return std::make_tuple(count, s.gate == state_.gate && s.offset == state_.offset, s.offset == 0, s.gate);
  };
  // No note of the line may be shorter than the offset makes it: a note
  // sounds for the offset at least.
  int64_t reach = kMaxOffset;
  for (size_t i = first; i < last; ++i)
    for (const Note* n : points[i].notes) reach = std::min(reach, n->end - n->start + 1);
  for (int gate : kGates) {
    needs_.clear();
    for (size_t i = first; i < last; ++i) {
      const int64_t gap = i + 1 < points.size() ? points[i + 1].tick - points[i].tick : kOpenEnd;
      for (const Note* n : points[i].notes) {
        // A note followed by a rest (or the last of its track) may take any
        // length up to the gap: the shortest note value that holds it reads
        // best.
        const int64_t slot = std::min(gap, valueAtLeast(n->end - n->start));
        const int64_t need = n->end - n->start + 1 - soundingTicks(slot, gate, 0);
        if (std::abs(need) <= kMaxOffset) needs_.push_back(static_cast<int>(need));
      }
    }
    std::sort(needs_.begin(), needs_.end());
    auto consider = [&](int offset, int count) {
      if (offset > reach) return;
      LineState s = state_;
      s.gate = gate;
      s.offset = offset;
      if (bestCount < 0 || rank(s, count) > rank(best, bestCount)) best = s, bestCount = count;
    };
    consider(0, static_cast<int>(std::count(needs_.begin(), needs_.end(), 0)));
    if (state_.gate == gate)
      consider(state_.offset, static_cast<int>(std::count(needs_.begin(), needs_.end(), state_.offset)));
    for (size_t k = 0; k < needs_.size();) {
      size_t e = k;
      while (e < needs_.size() && needs_[e] == needs_[k]) ++e;
      consider(needs_[k], static_cast<int>(e - k));
      k = e;
    }
  }
  std::map<int64_t, int> lengths;
  std::map<int, int> velocities;
  for (size_t i = first; i < last; ++i) {
    const int64_t gap = i + 1 < points.size() ? points[i + 1].tick - points[i].tick : kOpenEnd;
    for (const Note* n : points[i].notes) ++velocities[n->velocity];
    // A point's step: its note's (or chord's) length, else a group's or a
    // rest's gap.
    const Note* n = points[i].notes.empty() ? nullptr : points[i].notes.back();
    const NoteForm f = n ? form(n->end - n->start, gap, best) : NoteForm{};
    if (n && alike(points[i]) && f.length <= gap) ++lengths[f.length];
    else if (gap < kOpenEnd) ++lengths[gap];
  }
  // The value in force where it is among the most common, else the
  // largest of them.
  auto mostCommon = [](const auto& counts, auto current) {
    int most = 0;
    for (const auto& entry : counts) most = std::max(most, entry.second);
    auto value = current;
    const auto at = counts.find(current);
    if (at != counts.end() && at->second == most) return value;
    for (const auto& [v, n] : counts)
      if (n == most) value = v;
    return value;
  };
  std::string set;
  if (best.gate != state_.gate) set += "q" + std::to_string(best.gate) + " ";
  if (best.offset != state_.offset) {
    // Q%n sets an offset; a signed value moves it, so a negative offset is
    // reached by a step from the one in force.
    const int step = best.offset - state_.offset;
    set += best.offset >= 0 ? "Q%" + std::to_string(best.offset) + " "
                            : std::string("Q%") + (step > 0 ? "+" : "-") + std::to_string(std::abs(step)) + " ";
  }
  best.length = mostCommon(lengths, state_.length);
  if (best.length <= 0) best.length = tb_;
  if (best.length != state_.length) {
    const std::string t = lengthText(best.length);
    const bool single = t.find('^') == std::string::npos && t.find('.') == std::string::npos;
    set += (single ? "l" + t : "l%" + std::to_string(best.length)) + " ";
  } else {
    best.length = state_.length;
  }
  best.velocity = mostCommon(velocities, state_.velocity);
  if (best.velocity != state_.velocity) set += "v" + std::to_string(best.velocity) + " ";
  state_ = best;
  pending_ += set;
}

void Writer::writeLine(const std::vector<Point>& points, size_t first, size_t stop, int64_t lineEnd,
                       std::string& out) {
  pending_.clear();
  chooseDefaults(points, first, stop);
  std::string& line = pending_;
  for (size_t i = first; i < stop; ++i) {
    const Point& p = points[i];
    rest(pointer_, p.tick, line);
    pointer_ = std::max(pointer_, p.tick);
    for (const Command* c : p.commands) line += (line.empty() || line.back() == ' ' ? "" : " ") + c->text;
    if (p.notes.empty()) continue;
    if (!line.empty() && line.back() != ' ') line += ' ';
    const int64_t gap = i + 1 < points.size() ? points[i + 1].tick - p.tick : kOpenEnd;
    const Note& last = *p.notes.back();
    const NoteForm lastForm = form(last.end - last.start, gap, state_);
    int64_t step = lastForm.length;
    if (alike(p) && step <= gap) {
      for (size_t k = 0; k + 1 < p.notes.size(); ++k) line += noteText(*p.notes[k], lastForm, false, true, false);
      line += noteText(last, lastForm, last.velocity != state_.velocity, false, false);
    } else {
      // Notes of different ends, or one that sounds past the next point:
      // a group moves the pointer by the gap alone.
      std::string group = "/";
      int64_t longest = 0;
      for (size_t k = 0; k < p.notes.size(); ++k) {
        const Note& n = *p.notes[k];
        const NoteForm f = form(n.end - n.start, kOpenEnd, state_);
        longest = std::max(longest, f.length);
        if (k) group += ' ';
        group += noteText(n, f, n.velocity != state_.velocity, false, true);
      }
      step = gap < kOpenEnd ? gap : longest;
      group += '/';
      if (step != state_.length) group += lengthText(step);
      line += group;
    }
    pointer_ = p.tick + step;
    if (bars_.marked && bars_.next(pointer_ - 1) == pointer_) line += " |";
  }
  if (lineEnd < kOpenEnd && pointer_ < lineEnd && stop < points.size() && points[stop].tick >= lineEnd)
    rest(pointer_, lineEnd, line), pointer_ = lineEnd;
  while (!line.empty() && line.back() == ' ') line.pop_back();
  if (!line.empty()) out += line + "\n";
}

void Writer::track(int number, const OutTrack& t, std::string& out) {
  drums_ = t.channel == kDrumChannel;
  state_ = LineState{};
  state_.length = -1;  // the first line sets it
  pointer_ = 0;
  out += "\n_tr(" + std::to_string(number) + ")";
  if (t.channel >= 0) out += " CH=" + std::to_string(t.channel + 1);
  if (!t.name.empty()) out += " ; " + t.name;
  out += "\n";

  // The points, by tick: a command lands `lead` ticks before its point,
  // or at tick 0 from a point at 0.
  std::vector<std::pair<int64_t, int64_t>> keys;  // point tick, index (commands first, then notes)
  keys.reserve(t.commands.size() + t.notes.size());
  for (size_t i = 0; i < t.commands.size(); ++i) {
    const Command& c = t.commands[i];
    keys.push_back({c.tick == 0 ? 0 : c.tick + c.lead, static_cast<int64_t>(i)});
  }
  for (size_t i = 0; i < t.notes.size(); ++i)
    keys.push_back({t.notes[i].start, static_cast<int64_t>(t.commands.size() + i)});
  std::stable_sort(keys.begin(), keys.end());
  std::vector<Point> points;
  for (const auto& [tick, index] : keys) {
    if (points.empty() || points.back().tick != tick) points.push_back(Point{tick, {}, {}});
    if (index < static_cast<int64_t>(t.commands.size())) points.back().commands.push_back(&t.commands[index]);
    else points.back().notes.push_back(&t.notes[index - t.commands.size()]);
  }
  // Chord notes from low to high, as a reader expects them.
  for (Point& p : points)
    std::stable_sort(p.notes.begin(), p.notes.end(), [](const Note* a, const Note* b) { return a->key < b->key; });

  // Lines: whole bars, as many as keep a line short.
  constexpr size_t kPointsPerLine = 8;
  constexpr int kBarsPerLine = 4;
  size_t i = 0;
  while (i < points.size()) {
    size_t j = i;
    int64_t end = bars_.next(std::max(points[i].tick, pointer_));
    for (int bars = 1;; ++bars) {
      while (j < points.size() && points[j].tick < end) ++j;
      if (j >= points.size() || j - i >= kPointsPerLine || bars >= kBarsPerLine) break;
      end = bars_.next(end);
    }
    writeLine(points, i, j, j < points.size() ? end : kOpenEnd, out);
    i = j;
  }
}

std::string bytesFrom(const std::vector<uint8_t>& b, size_t from) { return std::string(b.begin() + static_cast<long>(from), b.end()); }

// A meta text the language writes back as it was: printable ASCII (the
// compiler turns other text into CP932), no comma or quote (the argument
// reader splits and quotes at them), brackets in pairs, no leading space.
bool writableText(const std::string& s) {
  if (s.empty() || s.size() > kMaxMetaText || s.front() == ' ') return false;
  int depth = 0;
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7E || c == ',' || c == '"') return false;
    depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    if (depth < 0) return false;
  }
  return depth == 0;
}

std::string hex2(int v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string{'$', kDigits[(v >> 4) & 15], kDigits[v & 15]};
}

// The commands of named controllers: they send the same message as `y`.
const char* controllerName(int cc) {
  switch (cc) {
    case 1: return "M=";
    case 6: return "D=";
    case 10: return "P=";
    case 11: return "E=";
    case 91: return "REV=";
    case 93: return "CHO=";
    default: return nullptr;
  }
}

}  // namespace

int parseQuantize(const std::string& text) {
  if (text.size() < 3 || text.compare(0, 2, "1/") != 0) return 0;
  std::string digits = text.substr(2);
  bool triplet = !digits.empty() && digits.back() == 't';
  if (triplet) digits.pop_back();
  if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  int n = std::atoi(digits.c_str());
  if (n <= 0) return 0;
  if (triplet) {
    if (n % 2 != 0) return 0;
    n = n * 3 / 2;
  }
  return n;
}

bool importSmf(const std::vector<uint8_t>& data, const Options& options, Result& out, std::string& error) {
  out = Result{};
  if (data.empty()) {
    error = zan::tr("the file is empty");
    return false;
  }
  smf::File file;
  std::string why;
  if (data.size() < 4 || std::string(data.begin(), data.begin() + 4) != "MThd") {
    error = zan::tr("not a MIDI file (no MThd header)");
    return false;
  }
  if (!smf::parse(data, file, why, smf::Accept::AnyWellFormed)) {
    error = zan::tr("not a readable MIDI file: ") + why;
    return false;
  }
  if (file.format == 2) {
    error = zan::tr("MIDI files of format 2 (independent patterns) cannot be imported");
    return false;
  }
  if (file.format != 0 && file.format != 1) {
    error = zan::tr("unknown MIDI file format ") + std::to_string(file.format);
    return false;
  }
  if (file.division & 0x8000) {
    error = zan::tr("MIDI files timed in SMPTE frames cannot be imported");
    return false;
  }
  if (file.division == 0) {
    error = zan::tr("the file's division is 0 ticks a quarter note");
    return false;
  }

  // The timebase: the file's division where a score can set it; else a
  // multiple of it (exact), a divisor every tick falls on (exact), or the
  // largest in range with the times rounded.
  const int64_t division = file.division;
  int64_t timebase = division, num = 1, den = 1;
  if (division < kMinTimebase) {
    num = (kMinTimebase + division - 1) / division;
    timebase = division * num;
  } else if (division > kMaxTimebase) {
    timebase = kMaxTimebase;
    num = kMaxTimebase;
    den = division;
    for (int64_t d = 2; division / d >= kMinTimebase; ++d) {
      if (division % d != 0 || division / d > kMaxTimebase) continue;
      bool fits = true;
      for (const auto& tr : file.tracks)
        for (const auto& e : tr.events) fits = fits && e.tick % d == 0;
      if (fits) {
        timebase = division / d, num = 1, den = d;
        break;
      }
    }
  }
  int64_t largestScaleError = 0;  // in the file's ticks, times den/num
  int64_t grid = 0;
  if (options.quantize > 0) {
    if ((4 * timebase) % options.quantize != 0) {
      error = zan::tr("the quantize grid is not a whole number of ticks at this file's timebase");
      return false;
    }
    grid = 4 * timebase / options.quantize;
  }

  Dropped dropped;
  Bars bars;
  std::vector<OutTrack> tracks;
  int64_t order = 0;
  std::vector<std::pair<int64_t, int64_t>> signatures;  // tick, bar length in ticks
  std::string metre;  // the first time signature at the start, as the editor reads a metre
  for (size_t t = 0; t < file.tracks.size(); ++t) {
    std::array<int, 16> slot;  // the out track of each channel
    slot.fill(-1);
    std::vector<Command> metas;  // commands of no channel
    std::string trackName;
    std::array<std::map<int, std::deque<std::pair<int64_t, uint8_t>>>, 16> open;  // key -> starts, velocities
    auto outOf = [&](int channel) -> OutTrack& {
      if (slot[channel] < 0) {
        slot[channel] = static_cast<int>(tracks.size());
        tracks.push_back(OutTrack{static_cast<int>(t), channel, {}, {}, {}});
      }
      return tracks[slot[channel]];
    };
    int64_t lastTick = 0;
    for (const smf::Event& e : file.tracks[t].events) {
      const auto& b = e.bytes;
      const int64_t tick = scaleTick(e.tick, num, den);
      // The compiler counts time in 32-bit ticks; what lies beyond cannot
      // be written (a note's end and a tempo's lead add a little).
      if (tick > kMaxTick) {
        error = zan::tr("the file's times run past the longest a score can hold");
        return false;
      }
      largestScaleError = std::max(largestScaleError, std::abs(tick * den - static_cast<int64_t>(e.tick) * num));
      lastTick = std::max(lastTick, tick);
      const uint8_t status = b[0];
      if (status >= 0x80 && status < 0xF0) {
        const int ch = status & 0x0F;
        const int kind = status & 0xF0;
        const int d1 = b.size() > 1 ? b[1] : 0, d2 = b.size() > 2 ? b[2] : 0;
        if (kind == 0x90 && d2 > 0) {
          outOf(ch);
          open[ch][d1].push_back({tick, static_cast<uint8_t>(d2)});
        } else if (kind == 0x80 || kind == 0x90) {
          auto it = open[ch].find(d1);
          if (it == open[ch].end() || it->second.empty()) {
            ++dropped.unmatchedOff;
            continue;
          }
          auto [start, vel] = it->second.front();
          it->second.pop_front();
          int64_t end = tick;
          if (end <= start) ++dropped.zeroLength, end = start + 1;
          outOf(ch).notes.push_back(Note{start, end, static_cast<uint8_t>(d1), vel});
        } else if (kind == 0xB0) {
          const char* name = controllerName(d1);
          outOf(ch).commands.push_back(Command{
              tick, 1, order++, name ? name + std::to_string(d2) : "y" + std::to_string(d1) + "," + std::to_string(d2)});
        } else if (kind == 0xC0) {
          outOf(ch).commands.push_back(Command{tick, 1, order++, "@" + std::to_string(d1)});
        } else if (kind == 0xE0) {
          outOf(ch).commands.push_back(Command{tick, 1, order++, "p" + std::to_string(d1 + d2 * 128 - 8192)});
        } else if (kind == 0xA0) {
          ++dropped.keyPressure;
        } else {
          ++dropped.channelPressure;
        }
      } else if (status == 0xF0 || status == 0xF7) {
        size_t pos = 1;
        while (pos < b.size() && (b[pos] & 0x80)) ++pos;
        ++pos;
        if (pos > b.size() || b.size() - pos + 1 > kMaxSysexValues || b.size() - pos + 1 < 3) {
          ++dropped.longSysex;
          continue;
        }
        std::string text = "EX=" + hex2(status);
        for (size_t k = pos; k < b.size(); ++k) text += "," + hex2(b[k]);
        metas.push_back(Command{tick, 0, order++, text});
      } else if (status == 0xFF && b.size() >= 2) {
        const uint8_t type = b[1];
        size_t pos = 2;
        while (pos < b.size() && (b[pos] & 0x80)) ++pos;
        ++pos;
        const std::string text = pos <= b.size() ? bytesFrom(b, pos) : std::string();
        if (type == 0x2F) continue;
        if (type == 0x51 && text.size() == 3) {
          const int64_t us = (int64_t{b[pos]} << 16) | (int64_t{b[pos + 1]} << 8) | b[pos + 2];
          int64_t bestBpm = 20, bestError = std::numeric_limits<int64_t>::max();
          for (int64_t bpm : {us > 0 ? 60000000 / us : 999, us > 0 ? 60000000 / us + 1 : 999}) {
            bpm = std::clamp<int64_t>(bpm, 20, 999);
            const int64_t err = std::abs(60000000 / bpm - us);
            if (err < bestError) bestError = err, bestBpm = bpm;
          }
          if (bestError != 0) ++dropped.inexactTempo, dropped.largestTempoError = std::max(dropped.largestTempoError, bestError);
          metas.push_back(Command{tick, 3, order++, "t" + std::to_string(bestBpm)});
        } else if (type == 0x58 && text.size() >= 2) {
          const int denominator = b[pos + 1] < 8 ? 1 << b[pos + 1] : 0;
          if (denominator > 0 && b[pos] > 0 && (4 * timebase * b[pos]) % denominator == 0)
            signatures.push_back({tick, 4 * timebase * b[pos] / denominator});
          if (tick == 0 && metre.empty() && denominator > 0 && b[pos] > 0 && b[pos] <= 64 && denominator <= 64)
            metre = "{metre " + std::to_string(b[pos]) + "/" + std::to_string(denominator) + "}\n";
          ++dropped.otherMeta;
        } else if (type >= 2 && type <= 4) {
          if (!writableText(text)) {
            ++dropped.texts;
            continue;
          }
          static constexpr const char* kCommands[] = {"_COPYRIGHT(", "_TITLE(", "_INST_NAME("};
          if (type == 3 && trackName.empty()) trackName = text;
          metas.push_back(Command{tick, 1, order++, kCommands[type - 2] + text + ")"});
        } else {
          ++dropped.otherMeta;
        }
      }
    }
    for (int ch = 0; ch < 16; ++ch)
      for (auto& [key, starts] : open[ch])
        for (auto [start, vel] : starts) {
          ++dropped.unended;
          outOf(ch).notes.push_back(Note{start, std::max(lastTick, start + 1), static_cast<uint8_t>(key), vel});
        }
    if (!metas.empty()) {
      int target = -1;
      for (int s : slot)
        if (s >= 0 && (target < 0 || s < target)) target = s;
      if (target < 0) {
        target = static_cast<int>(tracks.size());
        tracks.push_back(OutTrack{static_cast<int>(t), -1, {}, {}, {}});
      }
      auto& cmds = tracks[target].commands;
      cmds.insert(cmds.end(), metas.begin(), metas.end());
    }
    for (int s : slot)
      if (s >= 0) tracks[s].name = trackName;
    if (static_cast<int>(tracks.size()) > kMaxTracks) {
      error = zan::tr("the file makes more than 128 tracks (one for each channel of each track)");
      return false;
    }
  }

  // The grid: each note's start and length to the nearest step.
  if (grid > 0) {
    for (OutTrack& tr : tracks)
      for (Note& n : tr.notes) {
        const int64_t start = (n.start + grid / 2) / grid * grid;
        const int64_t length = std::max(grid, (n.end - n.start + grid / 2) / grid * grid);
        const int64_t end = start + length;
        if (start != n.start || end != n.end) {
          ++out.quantizeMoved;
          out.quantizeLargestMove = std::max({out.quantizeLargestMove, std::abs(start - n.start), std::abs(end - n.end)});
        }
        n.start = start, n.end = end;
      }
  }
  for (OutTrack& tr : tracks) {
    std::stable_sort(tr.notes.begin(), tr.notes.end(), [](const Note& a, const Note& b) { return a.start < b.start; });
    std::stable_sort(tr.commands.begin(), tr.commands.end(), [](const Command& a, const Command& b) {
      return a.order < b.order;
    });
  }

  std::stable_sort(signatures.begin(), signatures.end());
  bars.marked = !signatures.empty();
  bars.segments.push_back({0, 4 * timebase});
  for (const auto& [tick, length] : signatures) {
    if (tick == bars.segments.back().start) bars.segments.back().length = length;
    else bars.segments.push_back({tick, length});
  }

  std::string& s = out.score;
  std::string name;
  for (char c : options.sourceName) name += (static_cast<unsigned char>(c) < 0x20 ? '?' : c);
  s = "; " + std::string(zan::tr("imported from ")) + (name.empty() ? "MIDI" : name) + "\n";
  s += metre;  // a comment: the editor's bars and beats, nothing in the music
  s += "#timebase " + std::to_string(timebase) + "\n";
  Writer writer(static_cast<int>(timebase), bars, out);
  for (size_t i = 0; i < tracks.size(); ++i) writer.track(static_cast<int>(i), tracks[i], s);
  out.timebase = static_cast<int32_t>(timebase);

  // The warnings: each kind of loss once, counted.
  std::string lost;
  auto add = [&lost](int64_t n, const char* what) {
    if (n == 0) return;
    lost += (lost.empty() ? "" : ", ") + std::to_string(n) + " " + what;
  };
  add(dropped.keyPressure, zan::tr("key pressure messages"));
  add(dropped.channelPressure, zan::tr("channel pressure messages"));
  add(dropped.otherMeta, zan::tr("meta events other than tempo and texts"));
  add(dropped.longSysex, zan::tr("system exclusive messages longer than 128 bytes"));
  add(dropped.texts, zan::tr("texts with characters a score cannot hold"));
  add(dropped.unmatchedOff, zan::tr("note-offs without a note"));
  if (!lost.empty()) out.warnings.push_back(zan::tr("dropped what a score cannot write: ") + lost);
  if (dropped.zeroLength)
    out.warnings.push_back(std::to_string(dropped.zeroLength) + zan::tr(" notes ended on their own tick now last one tick"));
  if (dropped.unended)
    out.warnings.push_back(std::to_string(dropped.unended) + zan::tr(" notes never ended now end with their track"));
  if (dropped.inexactTempo)
    out.warnings.push_back(std::to_string(dropped.inexactTempo) +
                           zan::tr(" tempo changes written as the nearest whole beats a minute (largest error ") +
                           std::to_string(dropped.largestTempoError) + zan::tr(" microseconds a quarter note)"));
  if (largestScaleError > 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(largestScaleError) / static_cast<double>(num));
    out.warnings.push_back(zan::tr("the file's division ") + std::to_string(division) + zan::tr(" is beyond #timebase; times were scaled to ") +
                           std::to_string(timebase) + zan::tr(" (largest error ") + buffer + zan::tr(" of the file's ticks)"));
  }
  return true;
}

}  // namespace zan::midi_import
