// SPDX-License-Identifier: MIT
// Encoders for the file's numbers, and a strict reader of the files the
// writer produces.
#include "zan/smf_format.h"

#include <cstring>

#include "zan/translate.h"

namespace zan::smf {

void putVarLen(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[5];
  out.insert(out.end(), bytes, writeVarLen(bytes, value));
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

namespace {

struct Reader {
  const std::vector<uint8_t>& d;
  size_t pos = 0;
  bool has(size_t n) const { return pos + n <= d.size(); }
  uint32_t be(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | d[pos++];
    return v;
  }
  bool varLen(uint32_t& v, size_t end) {
    v = 0;
    for (int i = 0; i < 5; ++i) {
      if (pos >= end) return false;
      uint8_t b = d[pos++];
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
};

// Data bytes that follow a channel status byte.
int channelDataBytes(uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 1;
    default:
      return 2;
  }
}

}  // namespace

bool parse(const std::vector<uint8_t>& data, File& out, std::string& error, Accept accept) {
  out = File{};
  const bool any = accept == Accept::AnyWellFormed;
  Reader r{data};
  if (!r.has(kHeaderSize) || std::memcmp(&data[0], kHeaderId, 4) != 0) {
    error = zan::tr("no MThd header");
    return false;
  }
  r.pos = 4;
  const uint32_t headerLength = r.be(4);
  if (headerLength != kHeaderLength && !(any && headerLength > kHeaderLength && r.has(headerLength))) {
    error = zan::tr("header length is not 6");
    return false;
  }
  out.format = static_cast<int>(r.be(2));
  uint32_t trackCount = r.be(2);
  out.division = static_cast<int>(r.be(2));
  r.pos = 8 + headerLength;
  for (uint32_t t = 0; t < trackCount; ++t) {
    // Chunks of kinds a reader does not know are to be skipped.
    while (any && r.has(8) && std::memcmp(&data[r.pos], kTrackId, 4) != 0) {
      r.pos += 4;
      const uint32_t skip = r.be(4);
      if (!r.has(skip)) {
        error = zan::tr("a chunk runs past the end of the file");
        return false;
      }
      r.pos += skip;
    }
    if (!r.has(8) || std::memcmp(&data[r.pos], kTrackId, 4) != 0) {
      error = zan::tr("track ") + std::to_string(t) + zan::tr(": no MTrk chunk");
      return false;
    }
    r.pos += 4;
    uint32_t length = r.be(4);
    if (!r.has(length)) {
      error = zan::tr("track ") + std::to_string(t) + zan::tr(": chunk runs past the end of the file");
      return false;
    }
    size_t end = r.pos + length;
    Track track;
    uint32_t tick = 0;
    bool ended = false;
    uint8_t running = 0;  // the status byte in force (AnyWellFormed); 0 none
    while (r.pos < end) {
      if (ended && any) {  // what follows the end of track is not read
        r.pos = end;
        break;
      }
      if (ended) {
        error = zan::tr("track ") + std::to_string(t) + zan::tr(": bytes after end of track");
        return false;
      }
      uint32_t delta;
      if (!r.varLen(delta, end)) {
        error = zan::tr("track ") + std::to_string(t) + zan::tr(": bad delta time");
        return false;
      }
      tick += delta;
      if (r.pos >= end) {
        error = zan::tr("track ") + std::to_string(t) + zan::tr(": event missing after delta");
        return false;
      }
      size_t start = r.pos;
      uint8_t status = data[r.pos++];
      if (status < 0x80 && any && running != 0) {
        // Running status: the data bytes of another message like the last.
        const size_t n = static_cast<size_t>(channelDataBytes(running));
        if (start + n > end) {
          error = zan::tr("track ") + std::to_string(t) + zan::tr(": channel message cut short");
          return false;
        }
        Event e{tick, {running}};
        e.bytes.insert(e.bytes.end(), data.begin() + static_cast<long>(start),
                       data.begin() + static_cast<long>(start + n));
        r.pos = start + n;
        for (size_t i = 1; i < e.bytes.size(); ++i)
          if (e.bytes[i] & 0x80) {
            error = zan::tr("track ") + std::to_string(t) + zan::tr(": running status or bad status byte");
            return false;
          }
        track.events.push_back(std::move(e));
        continue;
      }
      // System exclusive and meta events end running status.
      running = status >= 0x80 && status < 0xF0 ? status : 0;
      if (status == 0xFF) {
        if (r.pos + 2 > end) {
          error = zan::tr("track ") + std::to_string(t) + zan::tr(": meta event cut short");
          return false;
        }
        uint8_t type = data[r.pos++];
        uint32_t len;
        if (!r.varLen(len, end) || r.pos + len > end) {
          error = zan::tr("track ") + std::to_string(t) + zan::tr(": meta event cut short");
          return false;
        }
        r.pos += len;
        if (type == 0x2F) ended = true;
      } else if (status == 0xF0 || status == 0xF7) {
        uint32_t len;
        if (!r.varLen(len, end) || r.pos + len > end) {
          error = zan::tr("track ") + std::to_string(t) + zan::tr(": system exclusive cut short");
          return false;
        }
        r.pos += len;
      } else if (status >= 0x80 && status < 0xF0) {
        int n = channelDataBytes(status);
        if (r.pos + static_cast<size_t>(n) > end) {
          error = zan::tr("track ") + std::to_string(t) + zan::tr(": channel message cut short");
          return false;
        }
        // Data bytes are 7-bit: a byte with its top bit set would be read
        // as a value of 128 or more by whatever uses the message.
        for (int k = 0; any && k < n; ++k)
          if (data[r.pos + static_cast<size_t>(k)] & 0x80) {
            error = zan::tr("track ") + std::to_string(t) + zan::tr(": running status or bad status byte");
            return false;
          }
        r.pos += static_cast<size_t>(n);
      } else {
        error = zan::tr("track ") + std::to_string(t) + zan::tr(": running status or bad status byte");
        return false;
      }
      track.events.push_back(Event{tick, std::vector<uint8_t>(data.begin() + static_cast<long>(start),
                                                              data.begin() + static_cast<long>(r.pos))});
    }
    if (!ended && !any) {
      error = zan::tr("track ") + std::to_string(t) + zan::tr(": no end of track");
      return false;
    }
    out.tracks.push_back(std::move(track));
  }
  if (r.pos != data.size() && !any) {
    error = zan::tr("bytes after the last chunk");
    return false;
  }
  return true;
}

}  // namespace zan::smf
