// SPDX-License-Identifier: MIT
#include "player_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "player/player.h"
#include "zan/cp932.h"
#include "zan/smf_format.h"
#include "zan/tsmf.h"

namespace zan::player::test {

std::vector<uint8_t> compileScore(const std::string& source) {
  TSmf smf;
  std::vector<std::string> errors;
  smf.messageSink = [&](const std::string& line) {
    if (line.rfind("err(", 0) == 0) errors.push_back(toUtf8(line));
  };
  smf.sourceLines.setText(toCp932(source));
  std::vector<uint8_t> bytes = smf.CompileToBytes();
  EXPECT_EQ(smf.errorsReported, 0) << source << "\n" << (errors.empty() ? "" : errors.front());
  return bytes;
}

std::string writeTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = ::testing::TempDir() + "zan_player_" + std::to_string(::getpid()) + "_" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << path;
  return path;
}

std::string scoreFile(const std::string& name, const std::string& source) {
  return writeTemp(name, compileScore(source));
}

std::vector<uint8_t> makeSmf(int division, const std::vector<std::vector<RawEvent>>& tracks, int format) {
  std::vector<uint8_t> out;
  smf::putId(out, smf::kHeaderId);
  smf::putBigEndian(out, smf::kHeaderLength, 4);
  smf::putBigEndian(out, static_cast<uint32_t>(format), 2);
  smf::putBigEndian(out, static_cast<uint32_t>(tracks.size()), 2);
  smf::putBigEndian(out, static_cast<uint32_t>(division), 2);
  for (const auto& events : tracks) {
    std::vector<uint8_t> body;
    for (const RawEvent& e : events) {
      smf::putVarLen(body, e.delta);
      body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    }
    body.insert(body.end(), std::begin(smf::kEndOfTrack), std::end(smf::kEndOfTrack));
    smf::putId(out, smf::kTrackId);
    smf::putBigEndian(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

Sequence sequenceOf(const std::vector<uint8_t>& bytes) {
  smf::File file;
  std::string error;
  Sequence s;
  EXPECT_TRUE(smf::parse(bytes, file, error)) << error;
  EXPECT_TRUE(buildSequence(file, s, error)) << error;
  return s;
}

std::string testSoundFont() {
  const std::string small = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  return findSoundFont(::access(small.c_str(), R_OK) == 0 ? small : "");
}

void RecordingOutput::send(const uint8_t* bytes, size_t size) {
  std::string line = std::to_string(now);
  char buf[4];
  for (size_t i = 0; i < size; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
    line += ' ';
    line += buf;
  }
  log.push_back(line);
}

double Wav::rms(int64_t from, int64_t to) const {
  double sum = 0;
  int64_t n = 0;
  for (int64_t i = from * channels; i < to * channels && i < static_cast<int64_t>(samples.size()); ++i, ++n) {
    const double s = samples[static_cast<size_t>(i)] / 32768.0;
    sum += s * s;
  }
  return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

double Wav::peak(int64_t from, int64_t to) const {
  double p = 0;
  for (int64_t i = from * channels; i < to * channels && i < static_cast<int64_t>(samples.size()); ++i)
    p = std::max(p, std::abs(samples[static_cast<size_t>(i)] / 32768.0));
  return p;
}

Wav readWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Wav wav;
  auto le = [&](size_t pos, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | d[pos + static_cast<size_t>(i)];
    return v;
  };
  if (d.size() < 44 || std::string(d.begin(), d.begin() + 4) != "RIFF" ||
      std::string(d.begin() + 8, d.begin() + 16) != "WAVEfmt " || std::string(d.begin() + 36, d.begin() + 40) != "data") {
    ADD_FAILURE() << path << " is not a WAV file as renderWav writes it";
    return wav;
  }
  EXPECT_EQ(le(4, 4), d.size() - 8) << "RIFF size";
  EXPECT_EQ(le(20, 2), 1u) << "PCM";
  wav.channels = static_cast<int>(le(22, 2));
  wav.rate = static_cast<int>(le(24, 4));
  wav.bits = static_cast<int>(le(34, 2));
  const uint32_t dataBytes = le(40, 4);
  EXPECT_EQ(dataBytes, d.size() - 44) << "data size";
  for (size_t pos = 44; pos + 1 < d.size(); pos += 2)
    wav.samples.push_back(static_cast<int16_t>(static_cast<uint16_t>(d[pos] | (d[pos + 1] << 8))));
  return wav;
}

}  // namespace zan::player::test
