// SPDX-License-Identifier: MIT
// The end of a compile: every track's events sorted and written as one
// format-1 Standard MIDI File, plus the number encoders handlers build
// event bytes with.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "texts.h"
#include "zan/output_file.h"
#include "zan/smf_format.h"
#include "zan/translate.h"
#include "zan/tsmf.h"

namespace zan {

void TSmf::addEvent(int32_t time, const uint8_t* bytes, int32_t size) {
  if (stopped) return;
  int32_t line = lineIndex;
  // One compare serves both the event budget and the recording of sources
  // (its bound is 0 while they are recorded), so that a compile that records
  // nothing pays nothing for it.
  if (++eventCount > eventSlowPathAbove) {
    if (eventCount > limits.events) {
      limitReached(Limit::Events);
      return;
    }
    line = recordSource(bytes, size);
  }
  if (!events[curTrack].Add(time, bytes, size, line) && warningSink)
    warningSink(zan::tr("Tivent write error! Out Of Memory"));
}

int32_t TSmf::chunkOfTrack(int32_t number) const {
  if (number < 0 || number >= kTrackCount || events[number].empty()) return -1;
  int32_t chunk = 0;
  for (int32_t t = 0; t < number; ++t) chunk += events[t].empty() ? 0 : 1;
  return chunk;
}

int TSmf::EncodeVarLen(uint32_t value) {
  std::vector<uint8_t> out;
  smf::putVarLen(out, value);
  std::copy(out.begin(), out.end(), dataBuf);
  return static_cast<int>(out.size());
}

int TSmf::EncodeBigEndian(uint32_t value) {
  int n = 1;
  while (n < 4 && (value >> (8 * n)) != 0) ++n;
  for (int i = 0; i < n; ++i) dataBuf[i] = static_cast<uint8_t>(value >> (8 * (n - 1 - i)));
  return n;
}

void TSmf::emitSmf(const std::function<void(const std::vector<uint8_t>&)>& put) {
  uint32_t trackCount = 0;
  for (Tivent& e : events) {
    e.Sort();
    if (!e.empty()) ++trackCount;
  }
  std::vector<uint8_t>& out = chunkBuffer;  // kept from compile to compile
  out.clear();
  smf::putId(out, smf::kHeaderId);
  smf::putBigEndian(out, smf::kHeaderLength, 4);
  smf::putBigEndian(out, smf::kFormat, 2);
  smf::putBigEndian(out, trackCount, 2);
  smf::putBigEndian(out, static_cast<uint32_t>(timebase) & 0xFFFF, 2);
  put(out);

  // One chunk at a time: its length is patched in once its events are in.
  // The chunk is written through a pointer into room for its largest form
  // (a delta takes at most 5 bytes, a channel message 3), then cut to size.
  for (const Tivent& list : events) {
    if (list.empty()) continue;
    out.resize(8 + list.data().size() + 8 * static_cast<size_t>(list.Count()) + sizeof smf::kEndOfTrack);
    uint8_t* p = out.data();
    std::memcpy(p, smf::kTrackId, 4);
    p += 8;
    int32_t previous = 0;
    for (const Tivent::Entry& e : list.entries()) {
      // Events placed before tick 0 are written at tick 0.
      const int32_t time = std::max(e.time, 0);
      p = smf::writeVarLen(p, static_cast<uint32_t>(time) - static_cast<uint32_t>(previous));
      if (e.payload[0] != Tivent::kLong) {
        // A channel message: its payload word is copied whole (the room has
        // 8 bytes an event), the pointer moves by its size.
        std::memcpy(p, e.payload, sizeof e.payload);
        p += Tivent::channelMessageSize(e.payload[0]);
      } else {
        const int32_t size = list.size(e);
        std::memcpy(p, list.bytes(e), static_cast<size_t>(size));
        p += size;
      }
      previous = time;
    }
    std::memcpy(p, smf::kEndOfTrack, sizeof smf::kEndOfTrack);
    p += sizeof smf::kEndOfTrack;
    out.resize(static_cast<size_t>(p - out.data()));
    const uint32_t length = static_cast<uint32_t>(out.size() - 8);
    for (size_t i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    put(out);
  }
}

std::vector<uint8_t> TSmf::BuildSmf() {
  // Room for the largest file the events can make (a delta takes at most 5
  // bytes, a channel message 3), so that the file is never copied as it grows.
  size_t room = smf::kHeaderSize;
  for (const Tivent& e : events)
    if (!e.empty()) room += 12 + e.data().size() + 8 * static_cast<size_t>(e.Count());
  std::vector<uint8_t> file;
  file.reserve(room);
  emitSmf([&](const std::vector<uint8_t>& piece) { file.insert(file.end(), piece.begin(), piece.end()); });
  return file;
}

void TSmf::WriteSmf(const std::string& outputPath, std::vector<uint8_t>* copy) {
  OutputFile file;
  if (!file.open(outputPath)) throw WriteError(file.error());
  try {
    emitSmf([&](const std::vector<uint8_t>& bytes) {
      if (!file.write(bytes.data(), bytes.size())) throw WriteError(file.error());
      if (copy) copy->insert(copy->end(), bytes.begin(), bytes.end());
    });
  } catch (const WriteError&) {
    throw;
  } catch (const std::exception&) {
    throw WriteError(zan::tr("cannot write ") + outputPath + ": " + std::strerror(ENOMEM));
  }
  if (!file.commit()) throw WriteError(file.error());
  AddMessage("ok");
}

}  // namespace zan
