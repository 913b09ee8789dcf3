// SPDX-License-Identifier: MIT
// The General MIDI Level 1 sound set, by program number from 0.
#include "player/gm_names.h"

#include "zan/translate.h"

namespace zan::player {

namespace {

// clang-format off
constexpr const char* kNames[128] = {
    // Piano                     // Chromatic percussion
    N_("Acoustic Grand Piano"),    N_("Bright Acoustic Piano"),   N_("Electric Grand Piano"),    N_("Honky-tonk Piano"),
    N_("Electric Piano 1"),        N_("Electric Piano 2"),        N_("Harpsichord"),             N_("Clavi"),
    N_("Celesta"),                 N_("Glockenspiel"),            N_("Music Box"),               N_("Vibraphone"),
    N_("Marimba"),                 N_("Xylophone"),               N_("Tubular Bells"),           N_("Dulcimer"),
    // Organ                                                // Guitar
    N_("Drawbar Organ"),           N_("Percussive Organ"),        N_("Rock Organ"),              N_("Church Organ"),
    N_("Reed Organ"),              N_("Accordion"),               N_("Harmonica"),               N_("Tango Accordion"),
    N_("Acoustic Guitar (nylon)"), N_("Acoustic Guitar (steel)"), N_("Electric Guitar (jazz)"),  N_("Electric Guitar (clean)"),
    N_("Electric Guitar (muted)"), N_("Overdriven Guitar"),       N_("Distortion Guitar"),       N_("Guitar harmonics"),
    // Bass                                                 // Strings
    N_("Acoustic Bass"),           N_("Electric Bass (finger)"),  N_("Electric Bass (pick)"),    N_("Fretless Bass"),
    N_("Slap Bass 1"),             N_("Slap Bass 2"),             N_("Synth Bass 1"),            N_("Synth Bass 2"),
    N_("Violin"),                  N_("Viola"),                   N_("Cello"),                   N_("Contrabass"),
    N_("Tremolo Strings"),         N_("Pizzicato Strings"),       N_("Orchestral Harp"),         N_("Timpani"),
    // Ensemble                                             // Brass
    N_("String Ensemble 1"),       N_("String Ensemble 2"),       N_("SynthStrings 1"),          N_("SynthStrings 2"),
    N_("Choir Aahs"),              N_("Voice Oohs"),              N_("Synth Voice"),             N_("Orchestra Hit"),
    N_("Trumpet"),                 N_("Trombone"),                N_("Tuba"),                    N_("Muted Trumpet"),
    N_("French Horn"),             N_("Brass Section"),           N_("SynthBrass 1"),            N_("SynthBrass 2"),
    // Reed                                                 // Pipe
    N_("Soprano Sax"),             N_("Alto Sax"),                N_("Tenor Sax"),               N_("Baritone Sax"),
    N_("Oboe"),                    N_("English Horn"),            N_("Bassoon"),                 N_("Clarinet"),
    N_("Piccolo"),                 N_("Flute"),                   N_("Recorder"),                N_("Pan Flute"),
    N_("Blown Bottle"),            N_("Shakuhachi"),              N_("Whistle"),                 N_("Ocarina"),
    // Synth lead                                           // Synth pad
    N_("Lead 1 (square)"),         N_("Lead 2 (sawtooth)"),       N_("Lead 3 (calliope)"),       N_("Lead 4 (chiff)"),
    N_("Lead 5 (charang)"),        N_("Lead 6 (voice)"),          N_("Lead 7 (fifths)"),         N_("Lead 8 (bass + lead)"),
    N_("Pad 1 (new age)"),         N_("Pad 2 (warm)"),            N_("Pad 3 (polysynth)"),       N_("Pad 4 (choir)"),
    N_("Pad 5 (bowed)"),           N_("Pad 6 (metallic)"),        N_("Pad 7 (halo)"),            N_("Pad 8 (sweep)"),
    // Synth effects                                        // Ethnic
    N_("FX 1 (rain)"),             N_("FX 2 (soundtrack)"),       N_("FX 3 (crystal)"),          N_("FX 4 (atmosphere)"),
    N_("FX 5 (brightness)"),       N_("FX 6 (goblins)"),          N_("FX 7 (echoes)"),           N_("FX 8 (sci-fi)"),
    N_("Sitar"),                   N_("Banjo"),                   N_("Shamisen"),                N_("Koto"),
    N_("Kalimba"),                 N_("Bag pipe"),                N_("Fiddle"),                  N_("Shanai"),
    // Percussive                                           // Sound effects
    N_("Tinkle Bell"),             N_("Agogo"),                   N_("Steel Drums"),             N_("Woodblock"),
    N_("Taiko Drum"),              N_("Melodic Tom"),             N_("Synth Drum"),              N_("Reverse Cymbal"),
    N_("Guitar Fret Noise"),       N_("Breath Noise"),            N_("Seashore"),                N_("Bird Tweet"),
    N_("Telephone Ring"),          N_("Helicopter"),              N_("Applause"),                N_("Gunshot"),
};
// clang-format on

}  // namespace

const char* generalMidiName(int program) { return program >= 0 && program < 128 ? tr(kNames[program]) : ""; }

}  // namespace zan::player
