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

}  // namespace

Scheduler::Scheduler(const Sequence& sequence, MidiOutput& output, double sampleRate)
    : sequence_(sequence), output_(output), rate_(sampleRate) {
  frames_.reserve(sequence.events.size());
  for (const TimedEvent& e : sequence.events) frames_.push_back(frameOf(e.us, rate_));
  length_ = frameOf(sequence.lengthUs, rate_);
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
    uint8_t& count = sounding_[b[0] & 0x0F][b[1] & 0x7F];
    if (kind == 0x90 && b[2] != 0) {
      if (count < 255) ++count;
    } else if (count > 0) {
      --count;
    }
  }
  output_.send(b, e.size);
}

void Scheduler::advance(int frames, float* left, float* right) {
  int done = 0;
  while (done < frames) {
    while (next_ < frames_.size() && frames_[next_] <= position_) dispatch(next_++);
    int piece = frames - done;
    if (position_ < length_) {
      int64_t until = next_ < frames_.size() ? frames_[next_] : length_;
      until = std::min(until, length_);
      piece = static_cast<int>(std::min<int64_t>(piece, until - position_));
      if (piece == 0) continue;  // an event at this very frame is left: sent above
      position_ += piece;
    }
    output_.render(piece, left ? left + done : nullptr, right ? right + done : nullptr);
    done += piece;
  }
  // Events on the last frame of the music (the notes' ends) go out with it.
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
  next_ = 0;
  for (; next_ < frames_.size() && frames_[next_] < frame; ++next_) {
    const TimedEvent& e = sequence_.events[next_];
    if (isChased(sequence_.data(e), e.size)) output_.send(sequence_.data(e), e.size);
  }
  position_ = frame;
}

}  // namespace zan::player
