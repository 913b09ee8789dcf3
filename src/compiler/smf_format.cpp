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

bool parse(const std::vector<uint8_t>& data, File& out, std::string& error) {
  out = File{};
  Reader r{data};
  if (!r.has(kHeaderSize) || std::memcmp(&data[0], kHeaderId, 4) != 0) {
    error = zan::tr("no MThd header");
    return false;
  }
  r.pos = 4;
  if (r.be(4) != kHeaderLength) {
    error = zan::tr("header length is not 6");
    return false;
  }
  out.format = static_cast<int>(r.be(2));
  uint32_t trackCount = r.be(2);
  out.division = static_cast<int>(r.be(2));
  for (uint32_t t = 0; t < trackCount; ++t) {
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
    while (r.pos < end) {
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
        r.pos += static_cast<size_t>(n);
      } else {
        error = zan::tr("track ") + std::to_string(t) + zan::tr(": running status or bad status byte");
        return false;
      }
      track.events.push_back(Event{tick, std::vector<uint8_t>(data.begin() + static_cast<long>(start),
                                                              data.begin() + static_cast<long>(r.pos))});
    }
    if (!ended) {
      error = zan::tr("track ") + std::to_string(t) + zan::tr(": no end of track");
      return false;
    }
    out.tracks.push_back(std::move(track));
  }
  if (r.pos != data.size()) {
    error = zan::tr("bytes after the last chunk");
    return false;
  }
  return true;
}

}  // namespace zan::smf
