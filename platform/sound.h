// sound: the music stream. The nine sound-system operations the program calls
// (FSOUND_*), their error codes and texts, and on top of them music_start,
// music_clock and music_stop.
//
// The sound system plays one stream at a time through the backend's audio
// device (44.1 kHz, 16-bit stereo). A stream is its whole file decoded into
// memory when it is opened (see mpegdecode.h), so the device's audio thread
// only copies samples; with the mode bit kStreamLoop it loops seamlessly.
// The time of a playing stream is the time played since play started, from
// the samples the device consumed (the backend's audio clock): it rises
// through every loop and never goes backwards. A device that stops playing
// never stops it: after a short grace the time goes on in real time,
// silently, and when the device plays again the music is heard from the
// time's position (see stall.h).
// Limits: kMaxStreams streams open at once, kMaxChannels channels.
// All operations are called from the program's one thread. Each one except
// FSOUND_GetError sets the error code: 0 on success, else the reason.
#pragma once

#include <cstdint>

#include "platform/backend.h"

// Error codes of the sound system (FSOUND_GetError) and their texts.
constexpr int kSoundErrNone = 0;
constexpr int kSoundErrInitialized = 1;     // only allowed before FSOUND_Init
constexpr int kSoundErrUninitialized = 2;   // FSOUND_Init was not called
constexpr int kSoundErrInit = 3;            // the output device cannot start
constexpr int kSoundErrFileNotFound = 9;
constexpr int kSoundErrFileFormat = 10;     // not decodable, or no 44.1 kHz form
constexpr int kSoundErrFileBad = 11;        // exists but cannot be read whole
constexpr int kSoundErrMemory = 12;         // also: longer than the decode limit
constexpr int kSoundErrInvalidParam = 15;
constexpr int kSoundErrCount = 19;          // codes 0 to 18 have texts

// What the program asks of the sound system.
constexpr int kSoundOutput = 2;         // the backend's audio device
constexpr int kSoundDriver = 0;         // its first (only) driver
constexpr int kMixRate = platform::kPcmRate;  // the one mixing rate there is
constexpr int kMaxChannels = 16;
constexpr int kAnyChannel = -1;
constexpr unsigned kStreamLoop = 0x02;  // stream mode bit: loop at the end
constexpr unsigned kMusicMode = 43;     // 16-bit stereo, looping
constexpr int kMaxStreams = 4;
constexpr const char* kMusicFile = "qtn.mp3";
constexpr const char* kMusicBoxCaption = "VIRORUVOD";
// Said once, on stderr and in the log, when FSOUND_Init finds no audio
// output device and plays silently on a clock that still runs.
constexpr const char* kNoAudioDeviceText = "no audio output device: playing without sound";
// Said on stderr and in the log when the playing device stops consuming
// samples, and when it plays again (see stall.h). Never a box: a box would
// hold up the music-clocked opening.
constexpr const char* kAudioStalledText = "the audio device stopped playing: the music goes on silently";
constexpr const char* kAudioResumedText = "the audio device plays again: the music resumes where it stands";

struct sound_stream;

// Records the output type; fails (code 1) after FSOUND_Init.
bool FSOUND_SetOutput(int output);
// Chooses the driver; only driver 0 exists (code 15 otherwise); code 1
// after FSOUND_Init.
bool FSOUND_SetDriver(int driver);
// Starts the sound system: opens the backend's audio device, paused. Needs
// mixrate 44100 and 1 to kMaxChannels channels (code 15); code 1 when
// already started, code 3 when the sound system cannot start at all. With
// no output device it starts on a silent one and says so (kNoAudioDeviceText).
bool FSOUND_Init(int mixrate, int maxchannels, unsigned flags);
// Opens and decodes an MPEG audio file by its plain name (codes 9, 10, 11,
// 12); null on failure. Needs FSOUND_Init (code 2).
sound_stream* FSOUND_Stream_OpenMpeg(const char* filename, unsigned mode);
// Plays the stream on channel (kAnyChannel: the first) from its start, or
// from the backend's music_start_ms (a preview that begins further on);
// returns the channel, or -1 (codes 2, 15). The device starts at the first
// play; another stream playing is replaced.
int FSOUND_Stream_Play(int channel, sound_stream* stream);
// Milliseconds played since play started (carried on in real time while the
// device stalls), counted from where it started; 0 for a stream not playing.
uint32_t FSOUND_Stream_GetTime(sound_stream* stream);
// The code of the last operation.
int FSOUND_GetError();
// Stops and releases a stream (code 15 for a handle that is not open).
bool FSOUND_Stream_Close(sound_stream* stream);
// Closes the device and releases every stream still open.
void FSOUND_Close();

// The message for a code; "Unknown error" for codes without one.
const char* fmod_error_text(int code);

// The music: valid from music_start to music_stop.
extern sound_stream* music_stream;

// Starts the sound system and plays "qtn.mp3", looping. On any failure it
// logs the error text, closes the console, shows it in a box captioned
// "VIRORUVOD", closes the sound system and ends the process with -1.
void music_start();
// The music's time in milliseconds (FSOUND_Stream_GetTime of music_stream).
uint32_t music_clock();
// Closes the stream, then the sound system.
void music_stop();
