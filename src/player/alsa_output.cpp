// SPDX-License-Identifier: MIT
// The ALSA sequencer output and the list of ports it can reach.
#include "alsa_output.h"

#include <unistd.h>

#include "player/player.h"
#include "zan/translate.h"

#ifdef ZAN_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

namespace zan::player {

namespace {

constexpr const char* kSequencerDevice = "/dev/snd/seq";

[[maybe_unused]] bool haveSequencer() { return ::access(kSequencerDevice, F_OK) == 0; }

}  // namespace

#ifdef ZAN_HAVE_ALSA

namespace {

void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Longest message the encoder takes in one piece: a system exclusive longer
// than this is sent in several events, as ALSA does itself.
constexpr size_t kEncoderBuffer = 1024;

}  // namespace

void quietAlsaLog() { snd_lib_error_set_handler(silentAlsaError); }

struct AlsaOutput::Impl {
  snd_seq_t* seq = nullptr;
  int port = -1;
  snd_midi_event_t* encoder = nullptr;
};

AlsaOutput::AlsaOutput(const std::string& port) {
  quietAlsaLog();
  if (!haveSequencer()) throw PlayerError(zan::tr("no ALSA sequencer on this machine: cannot play through ") + port);
  impl_ = new Impl;
  auto fail = [&](const std::string& why) {
    if (impl_->encoder) snd_midi_event_free(impl_->encoder);
    if (impl_->seq) snd_seq_close(impl_->seq);
    delete impl_;
    impl_ = nullptr;
    throw PlayerError(why);
  };
  if (snd_seq_open(&impl_->seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) fail(zan::tr("cannot open the ALSA sequencer"));
  snd_seq_set_client_name(impl_->seq, "zan");
  impl_->port = snd_seq_create_simple_port(impl_->seq, "zan out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (impl_->port < 0) fail(zan::tr("cannot create an ALSA sequencer port"));
  snd_seq_addr_t dest;
  if (snd_seq_parse_address(impl_->seq, &dest, port.c_str()) < 0) fail(zan::tr("no ALSA sequencer port ") + port);
  if (snd_seq_connect_to(impl_->seq, impl_->port, dest.client, dest.port) < 0)
    fail(zan::tr("cannot connect to the ALSA sequencer port ") + port);
  if (snd_midi_event_new(kEncoderBuffer, &impl_->encoder) < 0) fail(zan::tr("out of memory for the ALSA encoder"));
  snd_midi_event_no_status(impl_->encoder, 1);
}

AlsaOutput::~AlsaOutput() {
  if (!impl_) return;
  snd_seq_drain_output(impl_->seq);
  snd_midi_event_free(impl_->encoder);
  snd_seq_close(impl_->seq);
  delete impl_;
}

void AlsaOutput::send(const uint8_t* bytes, size_t size) {
  snd_midi_event_reset_encode(impl_->encoder);
  size_t done = 0;
  while (done < size) {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    long used = snd_midi_event_encode(impl_->encoder, bytes + done, static_cast<long>(size - done), &ev);
    if (used <= 0) break;
    done += static_cast<size_t>(used);
    if (ev.type == SND_SEQ_EVENT_NONE) continue;  // more bytes needed
    snd_seq_ev_set_source(&ev, impl_->port);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_event_output_direct(impl_->seq, &ev);
  }
}

void AlsaOutput::allSoundOff() {
  for (uint8_t ch = 0; ch < kChannels; ++ch) {
    const uint8_t soundOff[3] = {static_cast<uint8_t>(0xB0 | ch), 120, 0};
    const uint8_t notesOff[3] = {static_cast<uint8_t>(0xB0 | ch), 123, 0};
    send(soundOff, 3);
    send(notesOff, 3);
  }
}

void AlsaOutput::reset() {
  allSoundOff();
  // A device need not know GM System On, so every channel is set by hand:
  // controllers reset, then what that reset leaves alone.
  for (uint8_t ch = 0; ch < kChannels; ++ch) {
    const uint8_t status = static_cast<uint8_t>(0xB0 | ch);
    const uint8_t messages[][3] = {
        {status, 121, 0},                            // reset all controllers (bend, modulation, expression, pedals)
        {status, 0, 0},   {status, 32, 0},           // bank 0
        {status, 7, 100}, {status, 10, 64},          // volume and pan at their defaults
        {status, 91, 40}, {status, 93, 0},           // reverb and chorus sends
    };
    for (const auto& m : messages) send(m, 3);
    const uint8_t program[2] = {static_cast<uint8_t>(0xC0 | ch), 0};
    send(program, 2);
    const uint8_t bend[3] = {static_cast<uint8_t>(0xE0 | ch), 0, 0x40};
    send(bend, 3);
  }
}

std::vector<PortInfo> alsaOutputPorts() {
  std::vector<PortInfo> ports;
  if (!haveSequencer()) return ports;
  quietAlsaLog();
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return ports;
  const int self = snd_seq_client_id(seq);
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) >= 0) {
    const int id = snd_seq_client_info_get_client(client);
    if (id == SND_SEQ_CLIENT_SYSTEM || id == self) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) >= 0) {
      const unsigned caps = snd_seq_port_info_get_capability(port);
      const unsigned needed = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
      if ((caps & needed) != needed || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
      ports.push_back(PortInfo{std::to_string(id) + ":" + std::to_string(snd_seq_port_info_get_port(port)),
                               std::string(snd_seq_client_info_get_name(client)) + ": " + snd_seq_port_info_get_name(port)});
    }
  }
  snd_seq_close(seq);
  return ports;
}

#else  // no ALSA in this build

void quietAlsaLog() {}

struct AlsaOutput::Impl {};

AlsaOutput::AlsaOutput(const std::string& port) {
  throw PlayerError(zan::tr("this build has no ALSA support: cannot play through ") + port);
}
AlsaOutput::~AlsaOutput() = default;
void AlsaOutput::send(const uint8_t*, size_t) {}
void AlsaOutput::allSoundOff() {}
void AlsaOutput::reset() {}

std::vector<PortInfo> alsaOutputPorts() { return {}; }

#endif

}  // namespace zan::player
