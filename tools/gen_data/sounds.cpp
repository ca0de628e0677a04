// The two sound files: a short click as a 16-bit WAV and the firing blip,
// synthesised here and encoded to MP3 with LAME.
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tools/gen_data/gen_data.h"

namespace {
constexpr int sampleRate = 32000;  // the game mixes at this rate
constexpr double pi = 3.14159265358979323846;

// Half a cosine from 0 up to 1 as x runs from 0 to 1.
double rise(double x) { return x <= 0 ? 0 : x >= 1 ? 1 : 0.5 - 0.5 * std::cos(pi * x); }

int16_t toSample(double v) {
  const double scaled = std::round(v * 32767.0);
  return static_cast<int16_t>(scaled > 32767 ? 32767 : scaled < -32768 ? -32768 : scaled);
}

// The firing blip: a soft sine that glides up a fifth, with a quieter octave
// above it for a little brightness at the start. It rises in 3 ms, decays
// quickly and fades smoothly to nothing at 110 ms, so dozens of overlapping
// firings blend into a patter rather than a roar.
std::vector<int16_t> synthBlip() {
  const double length = 0.110, attack = 0.003, fadeStart = 0.070;
  const double startHz = 620, endHz = 930;  // a fifth up
  // The blip peaks near a fifth of full scale (-14 dB): a cascade starts
  // several at the same instant, and those add up in step.
  const double level = 0.27;
  const int count = static_cast<int>(length * sampleRate);
  std::vector<int16_t> samples(count);
  double phase = 0;
  for (int i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    const double hz = startHz * std::pow(endHz / startHz, t / length);
    phase += 2 * pi * hz / sampleRate;
    const double envelope = rise(t / attack) * std::exp(-t / 0.040) *
                            (1 - rise((t - fadeStart) / (length - fadeStart)));
    const double tone = std::sin(phase) + 0.25 * std::exp(-t / 0.012) * std::sin(2 * phase);
    samples[i] = toSample(level * envelope * tone / 1.25);
  }
  return samples;
}

// The click: a 20 ms tick of noise and a high ring that die away within a
// few milliseconds. The noise comes from a fixed generator, so every build
// writes the same file.
std::vector<int16_t> synthClick() {
  const int count = sampleRate / 50;
  std::vector<int16_t> samples(count);
  uint32_t noise = 0x2545F491u;
  for (int i = 0; i < count; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double t = static_cast<double>(i) / sampleRate;
    const double white = static_cast<double>(noise >> 8) / (1u << 23) - 1.0;
    const double envelope = std::exp(-t / 0.002) * (1 - rise((t - 0.015) / 0.005));
    samples[i] = toSample(0.5 * envelope * (0.6 * white + 0.4 * std::sin(2 * pi * 3000 * t)));
  }
  return samples;
}

void putLittle(std::vector<unsigned char>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A mono 16-bit PCM WAV file.
std::vector<unsigned char> wavFile(const std::vector<int16_t>& samples) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<unsigned char> out;
  auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
  tag("RIFF");
  putLittle(out, 36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  putLittle(out, 16, 4);              // size of the format block
  putLittle(out, 1, 2);               // PCM
  putLittle(out, 1, 2);               // mono
  putLittle(out, sampleRate, 4);      // frames per second
  putLittle(out, sampleRate * 2, 4);  // bytes per second
  putLittle(out, 2, 2);               // bytes per frame
  putLittle(out, 16, 2);              // bits per sample
  tag("data");
  putLittle(out, dataBytes, 4);
  for (int16_t s : samples) putLittle(out, static_cast<uint16_t>(s), 2);
  return out;
}

// Mono MP3 through LAME, with the LAME tag in the first frame so decoders
// can drop the encoder's padding and give back exactly the samples given.
bool mp3File(const std::vector<int16_t>& samples, std::vector<unsigned char>& out) {
  lame_global_flags* lame = lame_init();
  if (!lame) return false;
  lame_set_in_samplerate(lame, sampleRate);
  lame_set_out_samplerate(lame, sampleRate);
  lame_set_num_channels(lame, 1);
  lame_set_mode(lame, MONO);
  lame_set_brate(lame, 96);
  lame_set_quality(lame, 2);
  lame_set_bWriteVbrTag(lame, 1);
  lame_set_write_id3tag_automatic(lame, 0);
  bool ok = lame_init_params(lame) >= 0;
  if (ok) {
    const int count = static_cast<int>(samples.size());
    out.assign(count + count / 4 + 7200 + 2 * 7200, 0);
    std::vector<short> pcm(samples.begin(), samples.end());
    const int encoded =
        lame_encode_buffer(lame, pcm.data(), pcm.data(), count, out.data(), (int)out.size());
    const int flushed = encoded < 0 ? -1
                                    : lame_encode_flush(lame, out.data() + encoded,
                                                        static_cast<int>(out.size()) - encoded);
    ok = encoded >= 0 && flushed >= 0;
    if (ok) {
      out.resize(encoded + flushed);
      unsigned char tagFrame[2880];
      const size_t tagBytes = lame_get_lametag_frame(lame, tagFrame, sizeof tagFrame);
      if (tagBytes > 0 && tagBytes <= sizeof tagFrame && tagBytes <= out.size())
        std::copy(tagFrame, tagFrame + tagBytes, out.begin());
    }
  }
  lame_close(lame);
  return ok && !out.empty();
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}
}  // namespace

bool writeSounds(const std::string& folder) {
  std::vector<unsigned char> mp3;
  return writeFile(folder + "/click.wav", wavFile(synthClick())) && mp3File(synthBlip(), mp3) &&
         writeFile(folder + "/etm0507.mp3", mp3);
}
