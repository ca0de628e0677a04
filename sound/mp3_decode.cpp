#include "sound/mp3_decode.h"

#include <mpg123.h>

#include <algorithm>
#include <cmath>

int bytesPerSample(Uint16 format) {
  switch (format) {
    case AUDIO_U8:
    case AUDIO_S8: return 1;
    case AUDIO_U16LSB:
    case AUDIO_S16LSB:
    case AUDIO_U16MSB:
    case AUDIO_S16MSB: return 2;
    default: return 0;
  }
}

namespace {
// Writes one sample, given on the signed 16-bit scale, in the format.
void putSample(int value, Uint16 format, Uint8* out) {
  value = std::clamp(value, -32768, 32767);
  switch (format) {
    case AUDIO_U8: out[0] = static_cast<Uint8>((value >> 8) + 128); break;
    case AUDIO_S8: out[0] = static_cast<Uint8>(static_cast<int8_t>(value >> 8)); break;
    default: {
      const bool isSigned = (format & 0x8000) != 0;
      const bool bigEndian = (format & 0x1000) != 0;
      const Uint16 bits = static_cast<Uint16>(isSigned ? value : value + 32768);
      out[bigEndian ? 0 : 1] = static_cast<Uint8>(bits >> 8);
      out[bigEndian ? 1 : 0] = static_cast<Uint8>(bits & 0xFF);
      break;
    }
  }
}

// The value of target channel c from one interleaved source frame.
float channelValue(const int16_t* frame, int sourceChannels, int targetChannels, int c) {
  if (targetChannels == 1 && sourceChannels > 1) {
    float sum = 0;
    for (int s = 0; s < sourceChannels; ++s) sum += frame[s];
    return sum / sourceChannels;
  }
  return frame[c % sourceChannels];
}
}  // namespace

bool convertPcm(const int16_t* source, size_t sourceFrames, int sourceRate, int sourceChannels,
                const PcmFormat& target, std::vector<Uint8>& out) {
  out.clear();
  const int sampleBytes = bytesPerSample(target.format);
  if (sampleBytes == 0 || target.rate <= 0 || target.channels <= 0 || sourceRate <= 0 ||
      sourceChannels <= 0 || (sourceFrames > 0 && !source))
    return false;
  const uint64_t frames =
      (static_cast<uint64_t>(sourceFrames) * target.rate + sourceRate - 1) / sourceRate;
  const size_t frameBytes = static_cast<size_t>(sampleBytes) * target.channels;
  out.resize(frames * frameBytes);
  Uint8* write = out.data();
  for (uint64_t j = 0; j < frames; ++j) {
    // Source position j * sourceRate / target.rate, split exactly into a
    // whole frame and a fraction.
    const uint64_t scaled = j * static_cast<uint64_t>(sourceRate);
    const size_t i = static_cast<size_t>(scaled / target.rate);
    const float frac = static_cast<float>(scaled % target.rate) / target.rate;
    const int16_t* a = source + i * sourceChannels;
    const int16_t* b = i + 1 < sourceFrames ? a + sourceChannels : a;
    for (int c = 0; c < target.channels; ++c) {
      const float va = channelValue(a, sourceChannels, target.channels, c);
      const float vb = channelValue(b, sourceChannels, target.channels, c);
      putSample(static_cast<int>(std::lround(va + (vb - va) * frac)), target.format, write);
      write += sampleBytes;
    }
  }
  return true;
}

namespace {
// The handle, closed and deleted on every way out.
struct Decoder {
  mpg123_handle* handle = nullptr;
  ~Decoder() {
    if (!handle) return;
    mpg123_close(handle);
    mpg123_delete(handle);
  }
};

// Asks for 16-bit output at every rate the library knows, mono or stereo as
// the file is, so the library itself never resamples: its forced rate
// (MPG123_FORCE_RATE) picks samples without a filter and lifts the quiet
// bands of the firing sound by up to 40 dB at 44.1 kHz (docs/performance.md).
bool setUp(Decoder& decoder) {
  static const bool libraryReady = mpg123_init() == MPG123_OK;
  if (!libraryReady) return false;
  int error = MPG123_OK;
  decoder.handle = mpg123_new(nullptr, &error);
  if (!decoder.handle) return false;
  mpg123_param(decoder.handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  mpg123_format_none(decoder.handle);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i)
    mpg123_format(decoder.handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  return true;
}
}  // namespace

bool decodeMp3File(const char* path, const PcmFormat& target, std::vector<Uint8>& out) {
  out.clear();
  if (!path || bytesPerSample(target.format) == 0) return false;
  Decoder decoder;
  if (!setUp(decoder) || mpg123_open(decoder.handle, path) != MPG123_OK) return false;

  std::vector<int16_t> samples;
  long rate = 0;
  int channels = 0;
  int16_t block[4096];
  for (;;) {
    size_t done = 0;
    const int result = mpg123_read(decoder.handle, block, sizeof block, &done);
    if (result == MPG123_NEW_FORMAT) {
      long newRate = 0;
      int newChannels = 0, encoding = 0;
      mpg123_getformat(decoder.handle, &newRate, &newChannels, &encoding);
      // A stream that changes its layout midway keeps only its first part.
      if (channels != 0 && (newRate != rate || newChannels != channels)) break;
      if (encoding != MPG123_ENC_SIGNED_16 || newChannels < 1 || newChannels > 2 || newRate <= 0)
        break;
      rate = newRate;
      channels = newChannels;
    }
    if (channels != 0 && done > 0)
      samples.insert(samples.end(), block, block + done / sizeof(int16_t));
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;  // the end, or damage
    if (channels != 0 && samples.size() / channels >=
                             static_cast<size_t>(maxDecodedSeconds) * static_cast<size_t>(rate))
      break;
  }
  if (channels == 0 || samples.size() < static_cast<size_t>(channels)) return false;
  const size_t frames = std::min(samples.size() / channels, static_cast<size_t>(maxDecodedSeconds) *
                                                                static_cast<size_t>(rate));
  return convertPcm(samples.data(), frames, static_cast<int>(rate), channels, target, out);
}
