// Decoding an MP3 file into a sample the mixer can play as it is: the
// mixer's own rate, channel count and sample format, whatever the file has.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// One PCM layout as SDL describes it: rate in Hz, an AUDIO_* sample format
// (8 or 16 bits, signed or not, either byte order) and the channel count.
struct PcmFormat {
  int rate = 0;
  Uint16 format = 0;
  int channels = 0;
};

// The longest stretch of a file that is decoded; the rest is left unread, so
// a huge file cannot take all the memory.
constexpr int maxDecodedSeconds = 30;

// Bytes of one sample of one channel in the format, or 0 if SDL 1.2 has no
// such format.
int bytesPerSample(Uint16 format);

// Converts interleaved 16-bit samples at sourceRate with sourceChannels into
// the target layout, replacing the contents of out. Rate conversion
// interpolates linearly; a mono source is copied to every channel, a stereo
// source folded to mono by averaging. False (and out empty) when either
// layout is unusable.
bool convertPcm(const int16_t* source, size_t sourceFrames, int sourceRate, int sourceChannels,
                const PcmFormat& target, std::vector<Uint8>& out);

// Decodes the whole file (up to maxDecodedSeconds) into the target layout.
// False, with out empty, when the file cannot be opened or holds no audio.
// Prints nothing.
bool decodeMp3File(const char* path, const PcmFormat& target, std::vector<Uint8>& out);
