// SPDX-License-Identifier: MIT
// The scheduler shared by live playback and the offline render: events are
// sent at the frame they fall on, and the output renders between them.
#include "scheduler.h"

#include <algorithm>
#include <cmath>

namespace zan::player {

namespace {

int64_t frameOf(int64_t us, double rate) { return std::llround(static_cast<double>(us) * rate / 1e6); }

// What a seek sends again: everything that sets a channel's state and does
// not start or end a note.
bool isChased(const uint8_t* b, uint32_t size) {
  if (size == 0) return false;
  switch (b[0] & 0xF0) {
    case 0xB0:  // controllers, banks (0 and 32) among them
    case 0xC0:  // program
    case 0xD0:  // channel pressure
    case 0xE0:  // pitch bend
      return true;
    case 0xF0:
      return b[0] == 0xF0;  // system exclusive
    default:  // notes and polyphonic pressure belong to the notes they touch
      return false;
  }
}

// Which piece of channel state a chased event sets: its channel, its kind
// and (for a controller) its number.
uint32_t stateKey(const uint8_t* b) {
  const uint32_t kind = b[0] & 0xF0u;
  return (b[0] & 0x0Fu) << 16 | kind << 8 | (kind == 0xB0 ? b[1] : 0u);
}

// The General MIDI power-on value of a piece of channel state, as a message.
std::vector<uint8_t> powerOnMessage(uint32_t key) {
  const uint8_t ch = static_cast<uint8_t>(key >> 16), kind = static_cast<uint8_t>(key >> 8), number = static_cast<uint8_t>(key);
  switch (kind) {
    case 0xB0: {
      uint8_t value = 0;
      if (number == 7) value = 100;                        // volume
      if (number == 10 || number == 8) value = 64;         // pan, balance
      if (number == 11) value = 127;                       // expression
      if (number == 100 || number == 101) value = 127;    // no parameter number chosen
      return {static_cast<uint8_t>(0xB0 | ch), number, value};
    }
    case 0xC0: return {static_cast<uint8_t>(0xC0 | ch), 0};
    case 0xD0: return {static_cast<uint8_t>(0xD0 | ch), 0};
    default: return {static_cast<uint8_t>(0xE0 | ch), 0, 0x40};  // bend centre
  }
}

}  // namespace

TrackMask silencedTracks(const TrackMask& muted, const TrackMask& soloed) {
  const bool anySolo = std::any_of(soloed.begin(), soloed.end(), [](uint64_t w) { return w != 0; });
  TrackMask out{};
  for (size_t i = 0; i < out.size(); ++i) out[i] = muted[i] | (anySolo ? ~soloed[i] : 0);
  return out;
}

Scheduler::Scheduler(const Sequence& sequence, MidiOutput& output, double sampleRate)
    : sequence_(sequence), output_(output), rate_(sampleRate) {
  frames_.reserve(sequence.events.size());
  for (const TimedEvent& e : sequence.events) frames_.push_back(frameOf(e.us, rate_));
  length_ = frameOf(sequence.lengthUs, rate_);
  sent_.fill(kUnknown);
}

void Scheduler::track(const uint8_t* b, uint32_t size) {
  if (size > 0 && b[0] == 0xF0) {
    sent_.fill(kUnknown);  // a system exclusive may have set anything
    return;
  }
  const int slot = stateSlot(b, size);
  if (slot >= 0) sent_[(b[0] & 0x0Fu) * kStateSlots + static_cast<size_t>(slot)] = static_cast<int16_t>(stateValue(b));
}

void Scheduler::trackPowerOn() {
  for (size_t ch = 0; ch < kChannels; ++ch)
    for (int slot = 0; slot < kStateSlots; ++slot) sent_[ch * kStateSlots + static_cast<size_t>(slot)] = static_cast<int16_t>(powerOnValue(slot));
}

int64_t Scheduler::framesFromMs(int64_t ms) const { return frameOf(ms * 1000, rate_); }

int64_t Scheduler::msFromFrames(int64_t frames) const {
  return static_cast<int64_t>(std::floor(static_cast<double>(frames) * 1000.0 / rate_));
}

void Scheduler::dispatch(size_t index) {
  const TimedEvent& e = sequence_.events[index];
  const uint8_t* b = sequence_.data(e);
  const uint8_t kind = b[0] & 0xF0;
  if ((kind == 0x80 || kind == 0x90) && e.size == 3) {
    const size_t ch = b[0] & 0x0F, key = b[1] & 0x7F;
    uint8_t& count = sounding_[ch][key];
    const bool muted = inMask(muted_, e.track);
    if (kind == 0x90 && b[2] != 0) {
      if (muted) return;
      if (count < 255) ++count;
      owner_[ch][key] = static_cast<uint8_t>(e.track);
    } else {
      // The end of a note a muted track never started must not end another
      // track's note on the same key.
      if (muted && (count == 0 || owner_[ch][key] != static_cast<uint8_t>(e.track))) return;
      if (count > 0) --count;
    }
  } else {
    track(b, e.size);
  }
  output_.send(b, e.size);
}

void Scheduler::endSoundingNotes(const TrackMask* only) {
  for (size_t ch = 0; ch < kChannels; ++ch)
    for (size_t key = 0; key < 128; ++key) {
      if (sounding_[ch][key] == 0 || (only && !inMask(*only, owner_[ch][key]))) continue;
      const uint8_t off[3] = {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0};
      output_.send(off, 3);  // one off ends every strike of the key, as in silence()
      sounding_[ch][key] = 0;
    }
}

void Scheduler::setMutedTracks(const TrackMask& muted) {
  TrackMask newly{};
  bool any = false;
  for (size_t i = 0; i < muted.size(); ++i) {
    newly[i] = muted[i] & ~muted_[i];
    any = any || newly[i] != 0;
  }
  muted_ = muted;
  if (any) endSoundingNotes(&newly);
}

size_t Scheduler::firstEventAt(int64_t frame) const {
  return static_cast<size_t>(std::lower_bound(frames_.begin(), frames_.end(), frame) - frames_.begin());
}

void Scheduler::setLoop(int64_t from, int64_t to) {
  loopFrom_ = std::clamp<int64_t>(from, 0, length_);
  loopTo_ = std::clamp<int64_t>(to, 0, length_);
  loopState_.clear();
  if (loopTo_ <= loopFrom_) return;
  // What changes inside the loop is set back at each turn to its value at
  // the start: the last event before it of each piece of state so changed,
  // or the power-on value when nothing set it before.
  const size_t begin = firstEventAt(loopFrom_), end = firstEventAt(loopTo_);
  std::vector<uint32_t> changed;
  for (size_t i = begin; i < end; ++i) {
    const TimedEvent& e = sequence_.events[i];
    const uint8_t* b = sequence_.data(e);
    if (isChased(b, e.size) && b[0] != 0xF0) changed.push_back(stateKey(b));
  }
  std::sort(changed.begin(), changed.end());
  changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
  std::vector<size_t> last(changed.size(), SIZE_MAX);
  for (size_t i = 0; i < begin; ++i) {
    const TimedEvent& e = sequence_.events[i];
    const uint8_t* b = sequence_.data(e);
    if (!isChased(b, e.size) || b[0] == 0xF0) continue;
    auto it = std::lower_bound(changed.begin(), changed.end(), stateKey(b));
    if (it != changed.end() && *it == stateKey(b)) last[static_cast<size_t>(it - changed.begin())] = i;
  }
  // In the order of the keys: by channel, controllers (banks among them)
  // before the program, as a bank select must come first.
  for (size_t k = 0; k < changed.size(); ++k) {
    if (last[k] != SIZE_MAX) {
      const TimedEvent& e = sequence_.events[last[k]];
      const uint8_t* b = sequence_.data(e);
      loopState_.push_back(std::vector<uint8_t>(b, b + e.size));
    } else {
      loopState_.push_back(powerOnMessage(changed[k]));
    }
  }
}

void Scheduler::turnLoop() {
  endSoundingNotes(nullptr);
  for (const std::vector<uint8_t>& m : loopState_) {
    track(m.data(), static_cast<uint32_t>(m.size()));
    output_.send(m.data(), m.size());
  }
  next_ = firstEventAt(loopFrom_);
  position_ = loopFrom_;
}

void Scheduler::advance(int frames, float* left, float* right) {
  int done = 0;
  const bool looping = loopTo_ > loopFrom_;
  while (done < frames) {
    // The turn comes before the events on the loop's end frame: they belong
    // to what follows the loop.
    if (looping && position_ == loopTo_) turnLoop();
    while (next_ < frames_.size() && frames_[next_] <= position_) dispatch(next_++);
    int piece = frames - done;
    if (position_ < length_) {
      int64_t until = next_ < frames_.size() ? frames_[next_] : length_;
      until = std::min(until, length_);
      if (looping && position_ < loopTo_) until = std::min(until, loopTo_);
      piece = static_cast<int>(std::min<int64_t>(piece, until - position_));
      if (piece == 0) continue;  // an event at this very frame is left: sent above
      position_ += piece;
    }
    output_.render(piece, left ? left + done : nullptr, right ? right + done : nullptr);
    done += piece;
  }
  // Events on the last frame of the music (the notes' ends) go out with it.
  if (looping && position_ == loopTo_) turnLoop();
  if (position_ >= length_)
    while (next_ < frames_.size()) dispatch(next_++);
}

void Scheduler::silence() {
  for (int ch = 0; ch < kChannels; ++ch)
    for (int key = 0; key < 128; ++key) {
      if (sounding_[static_cast<size_t>(ch)][static_cast<size_t>(key)] == 0) continue;
      const uint8_t off[3] = {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0};
      output_.send(off, 3);
      sounding_[static_cast<size_t>(ch)][static_cast<size_t>(key)] = 0;
    }
  output_.allSoundOff();
}

void Scheduler::seek(int64_t frame) {
  frame = std::clamp<int64_t>(frame, 0, length_);
  silence();
  output_.reset();
  trackPowerOn();
  next_ = 0;
  for (; next_ < frames_.size() && frames_[next_] < frame; ++next_) {
    const TimedEvent& e = sequence_.events[next_];
    if (!isChased(sequence_.data(e), e.size)) continue;
    track(sequence_.data(e), e.size);
    output_.send(sequence_.data(e), e.size);
  }
  position_ = frame;
}

double Scheduler::tickNow() const {
  const std::vector<TimedEvent>& events = sequence_.events;
  // Between the last event sent and the next: the time read as ticks can
  // round past either.
  const double ms = static_cast<double>(position_) * 1000.0 / rate_;
  double tick = sequence_.tempo.tickOfMs(ms);
  if (next_ > 0) tick = std::max(tick, static_cast<double>(events[next_ - 1].tick) + 1e-6);
  if (next_ < events.size()) tick = std::min(tick, static_cast<double>(events[next_].tick));
  return std::max(tick, 0.0);
}

void Scheduler::takeOver(const Scheduler& old, bool startHeld) {
  muted_ = old.muted_;
  sent_ = old.sent_;
  sounding_ = old.sounding_;
  owner_ = old.owner_;
  const double tick = old.tickNow();
  next_ = sequence_.firstEventAtTick(tick);
  position_ = std::clamp<int64_t>(std::llround(sequence_.tempo.msOfTick(tick) * rate_ / 1000.0), 0, length_);
  // An event of the new music on the very tick goes out at once, not late.
  if (next_ < frames_.size()) position_ = std::min(position_, frames_[next_]);
  if (next_ > 0) position_ = std::max(position_, frames_[next_ - 1]);
  sequence_.stateBefore(next_, swapState_);

  // The notes: each sounding key the new music does not hold ends.
  for (size_t ch = 0; ch < kChannels; ++ch)
    for (size_t key = 0; key < 128; ++key) {
      const size_t at = ch * 128 + key;
      uint8_t& count = sounding_[ch][key];
      const uint8_t held = swapState_.held[at];
      if (count > 0 && held == 0) {
        const uint8_t off[3] = {static_cast<uint8_t>(0x80 | ch), static_cast<uint8_t>(key), 0};
        output_.send(off, 3);
        count = 0;
        continue;
      }
      if (held == 0) continue;
      const TimedEvent& on = sequence_.events[static_cast<size_t>(swapState_.lastOn[at])];
      if (count == 0) {
        if (!startHeld || inMask(muted_, on.track)) continue;
        output_.send(sequence_.data(on), on.size);
      }
      // The new music's note-offs end it from now on: as many as it holds.
      count = held;
      owner_[ch][key] = static_cast<uint8_t>(on.track);
    }

  // The state: what differs from what was sent, in the new music's order.
  size_t n = 0;
  for (size_t ch = 0; ch < kChannels; ++ch)
    for (int slot = 0; slot < kStateSlots; ++slot) {
      const size_t at = ch * kStateSlots + static_cast<size_t>(slot);
      const int32_t setter = swapState_.setter[at];
      const int value = setter >= 0 ? stateValue(sequence_.data(sequence_.events[static_cast<size_t>(setter)])) : powerOnValue(slot);
      if (sent_[at] != value) swapOrder_[n++] = {setter, static_cast<uint16_t>(at)};
    }
  // Values never set first (power-on), then by the new music's order, so a
  // bank comes before its program and a parameter number before its data.
  std::sort(swapOrder_.begin(), swapOrder_.begin() + static_cast<long>(n));
  for (size_t i = 0; i < n; ++i) {
    const auto [setter, at] = swapOrder_[i];
    const int ch = at / kStateSlots, slot = at % kStateSlots;
    uint8_t message[3];
    uint32_t size;
    if (setter >= 0) {
      const TimedEvent& e = sequence_.events[static_cast<size_t>(setter)];
      size = e.size;
      std::copy(sequence_.data(e), sequence_.data(e) + std::min<uint32_t>(size, 3), message);
    } else {
      size = stateMessage(ch, slot, powerOnValue(slot), message);
    }
    track(message, size);
    output_.send(message, size);
  }
}

}  // namespace zan::player
