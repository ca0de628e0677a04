// The sound module on SDL's dummy audio driver: decoding MP3 into the
// mixer's layout, the mixer's set-up, many firings at once, the S key and
// every way a start can fail. Playback is paused in the mixer tests, so a
// started sound stays on its channel until the test looks at it.
#include "sound/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <lame/lame.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/shell.h"
#include "board/cascade.h"
#include "game/game_state.h"
#include "sound/mp3_decode.h"
#include "tests/unit/test_support.h"

namespace {
using Bytes = std::vector<unsigned char>;
constexpr double pi = 3.14159265358979323846;

Bytes readFile(const std::string& path) {
  Bytes bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    unsigned char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
      bytes.insert(bytes.end(), block, block + got);
    std::fclose(file);
  }
  return bytes;
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// A fresh folder under /tmp, removed with everything in it at the end.
struct TempFolder {
  std::string path;
  TempFolder() {
    char name[] = "/tmp/spindrel-sound-XXXXXX";
    if (mkdtemp(name)) path = name;
  }
  ~TempFolder() {
    if (!path.empty()) std::system(("rm -rf '" + path + "'").c_str());
  }
  std::string operator/(const std::string& file) const { return path + "/" + file; }
};

// Works in another folder for a while; initSound reads from the working
// folder, and the other tests need the build's bin/ back.
struct WorkIn {
  char previous[4096];
  explicit WorkIn(const std::string& folder) {
    if (!getcwd(previous, sizeof previous)) previous[0] = '\0';
    EXPECT_EQ(chdir(folder.c_str()), 0) << folder;
  }
  ~WorkIn() {
    if (previous[0]) {
      EXPECT_EQ(chdir(previous), 0);
    }
  }
};

// Sines at the given frequencies, one per channel, interleaved, at half of
// full scale with 5 ms fades at both ends.
std::vector<short> tones(int rate, double seconds, const std::vector<double>& hz) {
  const int channels = static_cast<int>(hz.size());
  const int frames = static_cast<int>(seconds * rate);
  std::vector<short> samples(static_cast<size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double edge = std::min({1.0, t / 0.005, (seconds - t) / 0.005});
    for (int c = 0; c < channels; ++c)
      samples[i * channels + c] = static_cast<short>(16384 * edge * std::sin(2 * pi * hz[c] * t));
  }
  return samples;
}

// An MP3 of interleaved samples, with the LAME tag that lets the decoder
// drop the encoder's padding.
Bytes encodeMp3(const std::vector<short>& samples, int rate, int channels) {
  lame_global_flags* lame = lame_init();
  lame_set_in_samplerate(lame, rate);
  lame_set_out_samplerate(lame, rate);
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 1 ? MONO : STEREO);
  lame_set_brate(lame, 128);
  lame_set_write_id3tag_automatic(lame, 0);
  EXPECT_GE(lame_init_params(lame), 0);
  const int frames = static_cast<int>(samples.size()) / channels;
  Bytes out(frames * 2 + 16384);
  std::vector<short> pcm(samples);
  int used = channels == 1
                 ? lame_encode_buffer(lame, pcm.data(), pcm.data(), frames, out.data(), out.size())
                 : lame_encode_buffer_interleaved(lame, pcm.data(), frames, out.data(), out.size());
  EXPECT_GE(used, 0);
  used += lame_encode_flush(lame, out.data() + used, out.size() - used);
  out.resize(used);
  unsigned char tag[2880];
  const size_t tagBytes = lame_get_lametag_frame(lame, tag, sizeof tag);
  if (tagBytes > 0 && tagBytes <= out.size()) std::memcpy(out.data(), tag, tagBytes);
  lame_close(lame);
  return out;
}

// Native 16-bit sample `frame` of `channel` in interleaved PCM.
int16_t sampleAt(const std::vector<Uint8>& pcm, int channels, size_t frame, int channel) {
  int16_t value;
  std::memcpy(&value, pcm.data() + (frame * channels + channel) * 2, 2);
  return value;
}

// Upward crossings through a band around zero: the number of periods of a
// tone, untroubled by coding noise near silence.
int periods(const std::vector<Uint8>& pcm, int channels, int channel) {
  int count = 0;
  bool low = false;
  for (size_t f = 0; f < pcm.size() / (2 * channels); ++f) {
    const int16_t v = sampleAt(pcm, channels, f, channel);
    if (v < -4000) low = true;
    if (v > 4000 && low) {
      ++count;
      low = false;
    }
  }
  return count;
}

double rms(const std::vector<Uint8>& pcm, int channels, int channel) {
  const size_t frames = pcm.size() / (2 * channels);
  double sum = 0;
  for (size_t f = 0; f < frames; ++f) sum += std::pow(sampleAt(pcm, channels, f, channel), 2);
  return frames ? std::sqrt(sum / frames) : 0;
}

bool mixerOpen() {
  int rate = 0, channels = 0;
  Uint16 format = 0;
  return Mix_QuerySpec(&rate, &format, &channels) != 0;
}

// A sample the mixer can play: whole frames in its own layout.
void expectPlayable(const Mix_Chunk* chunk) {
  int rate = 0, channels = 0;
  Uint16 format = 0;
  ASSERT_NE(Mix_QuerySpec(&rate, &format, &channels), 0);
  ASSERT_NE(chunk->abuf, nullptr);
  EXPECT_GT(chunk->alen, 0u);
  EXPECT_EQ(chunk->alen % (bytesPerSample(format) * channels), 0u);
}

int channelPlaying(Mix_Chunk* chunk) {
  for (int c = 0; c < Mix_AllocateChannels(-1); ++c)
    if (Mix_Playing(c) && Mix_GetChunk(c) == chunk) return c;
  return -1;
}
}  // namespace

TEST(SoundDecoding, GivesTheMixerLayoutWhateverTheFileHas) {
  TempFolder folder;
  const double seconds = 0.5;
  // A 440 Hz mono file at 22050 Hz, and a stereo one at 44100 Hz with 440 Hz
  // on the left and 660 Hz on the right.
  writeFile(folder / "mono22.mp3", encodeMp3(tones(22050, seconds, {440}), 22050, 1));
  writeFile(folder / "stereo44.mp3", encodeMp3(tones(44100, seconds, {440, 660}), 44100, 2));

  const PcmFormat stereo32{32000, AUDIO_S16SYS, 2}, mono32{32000, AUDIO_S16SYS, 1};
  const double expectedFrames = seconds * 32000;
  std::vector<Uint8> pcm;

  ASSERT_TRUE(decodeMp3File((folder / "mono22.mp3").c_str(), stereo32, pcm));
  EXPECT_NEAR(pcm.size() / 4.0, expectedFrames, expectedFrames * 0.02);
  EXPECT_NEAR(periods(pcm, 2, 0), 440 * seconds, 440 * seconds * 0.03);
  EXPECT_GT(rms(pcm, 2, 0), 8000);
  bool channelsEqual = true;
  for (size_t f = 0; f < pcm.size() / 4; ++f)
    channelsEqual &= sampleAt(pcm, 2, f, 0) == sampleAt(pcm, 2, f, 1);
  EXPECT_TRUE(channelsEqual) << "a mono file plays the same on both sides";

  ASSERT_TRUE(decodeMp3File((folder / "stereo44.mp3").c_str(), stereo32, pcm));
  EXPECT_NEAR(pcm.size() / 4.0, expectedFrames, expectedFrames * 0.02);
  EXPECT_NEAR(periods(pcm, 2, 0), 440 * seconds, 440 * seconds * 0.03);
  EXPECT_NEAR(periods(pcm, 2, 1), 660 * seconds, 660 * seconds * 0.03);

  ASSERT_TRUE(decodeMp3File((folder / "stereo44.mp3").c_str(), mono32, pcm));
  EXPECT_NEAR(pcm.size() / 2.0, expectedFrames, expectedFrames * 0.02);
  EXPECT_GT(rms(pcm, 1, 0), 4000);

  // 8-bit unsigned at 11025 Hz: silence sits at 128.
  ASSERT_TRUE(decodeMp3File((folder / "stereo44.mp3").c_str(), {11025, AUDIO_U8, 1}, pcm));
  EXPECT_NEAR(pcm.size(), seconds * 11025, seconds * 11025 * 0.02);
  double mean = 0;
  for (Uint8 b : pcm) mean += b;
  EXPECT_NEAR(mean / pcm.size(), 128, 2);
}

TEST(SoundDecoding, WritesEachSampleFormatInItsOwnByteOrder) {
  const int16_t source[] = {0x1234, -32768, 32767, 0};
  std::vector<Uint8> out;
  ASSERT_TRUE(convertPcm(source, 4, 8000, 1, {8000, AUDIO_S16LSB, 1}, out));
  EXPECT_EQ(out, (std::vector<Uint8>{0x34, 0x12, 0x00, 0x80, 0xFF, 0x7F, 0, 0}));
  ASSERT_TRUE(convertPcm(source, 4, 8000, 1, {8000, AUDIO_S16MSB, 1}, out));
  EXPECT_EQ(out, (std::vector<Uint8>{0x12, 0x34, 0x80, 0x00, 0x7F, 0xFF, 0, 0}));
  ASSERT_TRUE(convertPcm(source, 4, 8000, 1, {8000, AUDIO_U16LSB, 1}, out));
  EXPECT_EQ(out, (std::vector<Uint8>{0x34, 0x92, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x80}));
  ASSERT_TRUE(convertPcm(source, 4, 8000, 1, {8000, AUDIO_U16MSB, 1}, out));
  EXPECT_EQ(out, (std::vector<Uint8>{0x92, 0x34, 0x00, 0x00, 0xFF, 0xFF, 0x80, 0x00}));
  ASSERT_TRUE(convertPcm(source, 4, 8000, 1, {8000, AUDIO_U8, 1}, out));
  EXPECT_EQ(out, (std::vector<Uint8>{0x92, 0x00, 0xFF, 0x80}));
  ASSERT_TRUE(convertPcm(source, 4, 8000, 1, {8000, AUDIO_S8, 1}, out));
  EXPECT_EQ(out, (std::vector<Uint8>{0x12, 0x80, 0x7F, 0x00}));

  // Stereo folds to mono by averaging; doubling the rate puts a point
  // halfway between each pair and holds the last one.
  const int16_t stereo[] = {1000, -1000, 3000, 1000};
  std::vector<int16_t> folded(2);
  ASSERT_TRUE(convertPcm(stereo, 2, 8000, 2, {8000, AUDIO_S16SYS, 1}, out));
  ASSERT_EQ(out.size(), 4u);
  std::memcpy(folded.data(), out.data(), 4);
  EXPECT_EQ(folded, (std::vector<int16_t>{0, 2000}));
  const int16_t ramp[] = {0, 1000, 2000};
  std::vector<int16_t> doubled(6);
  ASSERT_TRUE(convertPcm(ramp, 3, 8000, 1, {16000, AUDIO_S16SYS, 1}, out));
  ASSERT_EQ(out.size(), 12u);
  std::memcpy(doubled.data(), out.data(), 12);
  EXPECT_EQ(doubled, (std::vector<int16_t>{0, 500, 1000, 1500, 2000, 2000}));

  // Layouts SDL 1.2 has no use for are refused.
  EXPECT_FALSE(convertPcm(ramp, 3, 8000, 1, {8000, 0x8020, 1}, out));
  EXPECT_FALSE(convertPcm(ramp, 3, 8000, 1, {0, AUDIO_S16SYS, 1}, out));
  EXPECT_FALSE(convertPcm(ramp, 3, 0, 1, {8000, AUDIO_S16SYS, 1}, out));
  EXPECT_TRUE(out.empty());
}

TEST(SoundDecoding, BrokenFilesGiveNothingOrSomethingPlayable) {
  TempFolder folder;
  const Bytes good = encodeMp3(tones(32000, 0.5, {440}), 32000, 1);
  const PcmFormat mixer{32000, AUDIO_S16SYS, 2};
  std::vector<Uint8> whole, pcm;
  writeFile(folder / "good.mp3", good);
  ASSERT_TRUE(decodeMp3File((folder / "good.mp3").c_str(), mixer, whole));

  // The first half of a file plays its first half.
  writeFile(folder / "half.mp3", Bytes(good.begin(), good.begin() + good.size() / 2));
  ASSERT_TRUE(decodeMp3File((folder / "half.mp3").c_str(), mixer, pcm));
  EXPECT_GT(pcm.size(), 0u);
  EXPECT_LT(pcm.size(), whole.size());
  EXPECT_EQ(pcm.size() % 4, 0u);

  // A stream that changes its layout midway keeps (at most) its first part:
  // the rest would play at the wrong speed with its channels mixed up.
  Bytes joined = encodeMp3(tones(22050, 0.25, {440}), 22050, 1);
  const Bytes second = encodeMp3(tones(44100, 0.5, {660, 660}), 44100, 2);
  joined.insert(joined.end(), second.begin(), second.end());
  writeFile(folder / "joined.mp3", joined);
  ASSERT_TRUE(decodeMp3File((folder / "joined.mp3").c_str(), mixer, pcm));
  EXPECT_GT(pcm.size(), 0u);
  EXPECT_LE(pcm.size() / 4.0, 0.25 * 32000 * 1.05);

  // Random bytes, a cut-off first frame, good frames with noise spliced in:
  // decoded or not, never a crash and never a partial frame.
  Bytes noise(8000);
  uint32_t state = 12345;
  for (unsigned char& b : noise) b = static_cast<unsigned char>((state = state * 69069 + 1) >> 24);
  Bytes spliced(good.begin(), good.begin() + good.size() / 3);
  spliced.insert(spliced.end(), noise.begin(), noise.begin() + 700);
  spliced.insert(spliced.end(), good.begin() + good.size() / 3, good.end());
  writeFile(folder / "noise.mp3", noise);
  writeFile(folder / "cut.mp3", Bytes(good.begin(), good.begin() + 100));
  writeFile(folder / "spliced.mp3", spliced);
  for (const char* name : {"noise.mp3", "cut.mp3", "spliced.mp3"}) {
    const bool decoded = decodeMp3File((folder / name).c_str(), mixer, pcm);
    EXPECT_EQ(decoded, !pcm.empty()) << name;
    EXPECT_EQ(pcm.size() % 4, 0u) << name;
  }
}

TEST(SoundDecoding, GeneratedBlipIsShortSoftAndFadesAtBothEnds) {
  std::vector<Uint8> pcm;
  ASSERT_TRUE(decodeMp3File("etm0507.mp3", {32000, AUDIO_S16SYS, 1}, pcm));
  const size_t frames = pcm.size() / 2;
  const double seconds = frames / 32000.0;
  EXPECT_GT(seconds, 0.03);
  EXPECT_LT(seconds, 0.2);
  int peak = 0;
  for (size_t f = 0; f < frames; ++f) peak = std::max(peak, std::abs(sampleAt(pcm, 1, f, 0)));
  // Audible alone, yet far enough below full scale for several to start at
  // the same instant.
  EXPECT_GT(peak, 32768 / 10);
  EXPECT_LT(peak, 32768 / 2);
  // No step at either end, which would sound as a click of its own.
  int edge = 0;
  for (size_t f = 0; f < 16; ++f)
    edge = std::max(
        {edge, std::abs(sampleAt(pcm, 1, f, 0)), std::abs(sampleAt(pcm, 1, frames - 1 - f, 0))});
  EXPECT_LT(edge, peak / 8);

  SDL_AudioSpec wavFormat;
  Uint8* click = nullptr;
  Uint32 clickBytes = 0;
  ASSERT_NE(SDL_LoadWAV("click.wav", &wavFormat, &click, &clickBytes), nullptr);
  EXPECT_EQ(wavFormat.format, AUDIO_S16LSB);
  const double clickSeconds = clickBytes / (2.0 * wavFormat.channels * wavFormat.freq);
  EXPECT_GT(clickSeconds, 0.002);
  EXPECT_LE(clickSeconds, 0.030);
  SDL_FreeWAV(click);
}

// The mixer opened by initSound from the build's bin/ folder, paused.
class Sound : public ::testing::Test {
 protected:
  void SetUp() override {
    soundOn = true;
    initSound();
    ASSERT_TRUE(mixerOpen());
    SDL_PauseAudio(1);
    Mix_HaltChannel(-1);
  }
  void TearDown() override {
    closeSound();
    soundOn = true;
  }
};

TEST_F(Sound, OpensSixteenChannelsAtHalfVolumeWithBothSamples) {
  int rate = 0, channels = 0;
  Uint16 format = 0;
  ASSERT_NE(Mix_QuerySpec(&rate, &format, &channels), 0);
  EXPECT_EQ(rate, 32000);
  EXPECT_EQ(Mix_AllocateChannels(-1), 16);
  for (int c = 0; c < 16; ++c) EXPECT_EQ(Mix_Volume(c, -1), 64) << "channel " << c;
  ASSERT_NE(soundSamples[0], nullptr);
  ASSERT_NE(soundSamples[1], nullptr);
  expectPlayable(soundSamples[0]);
  expectPlayable(soundSamples[1]);
  const double blipSeconds =
      static_cast<double>(soundSamples[1]->alen) / (bytesPerSample(format) * channels * rate);
  EXPECT_GT(blipSeconds, 0.03);
  EXPECT_LT(blipSeconds, 0.2);
}

TEST_F(Sound, DozensOfFiringsFillTheChannelsAndTheOldestGivesWay) {
  for (int i = 0; i < 40; ++i) playSound(1);
  EXPECT_EQ(Mix_Playing(-1), 16);
  for (int c = 0; c < 16; ++c) EXPECT_EQ(Mix_GetChunk(c), soundSamples[1]) << "channel " << c;

  // The click starts first, the blips a little later; with every channel
  // busy the next firing takes the click's channel.
  Mix_HaltChannel(-1);
  playSound(0);
  const int clickChannel = channelPlaying(soundSamples[0]);
  ASSERT_GE(clickChannel, 0);
  const Uint32 clickStart = SDL_GetTicks();
  while (SDL_GetTicks() == clickStart) SDL_Delay(1);
  for (int i = 0; i < 15; ++i) playSound(1);
  ASSERT_EQ(Mix_Playing(-1), 16);
  EXPECT_EQ(channelPlaying(soundSamples[0]), clickChannel);
  playSound(1);
  EXPECT_EQ(Mix_Playing(-1), 16);
  EXPECT_EQ(channelPlaying(soundSamples[0]), -1);
  EXPECT_EQ(Mix_GetChunk(clickChannel), soundSamples[1]);
}

TEST_F(Sound, SKeySilencesTheFollowingFiringsAndBringsThemBack) {
  openTestScreen();
  resetGame();
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
  }
  // Runs frames until one in which a node fires (every firing sets the
  // countdown to its full length); false if none does.
  auto runUntilAFiring = [] {
    for (int frame = 0; frame < 3000; ++frame) {
      advanceGame();
      if (settleCountdown == settleAfterFiring) return true;
    }
    return false;
  };
  auto pressS = [] {
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.state = SDL_PRESSED;
    key.key.keysym.sym = SDLK_s;
    ASSERT_EQ(SDL_PushEvent(&key), 0);
  };

  // The opening deal fires the corner nodes: one blip each.
  ASSERT_TRUE(runUntilAFiring());
  EXPECT_GT(Mix_Playing(-1), 0);

  Mix_HaltChannel(-1);
  pressS();
  ASSERT_TRUE(runUntilAFiring());
  EXPECT_FALSE(soundOn);
  ASSERT_TRUE(runUntilAFiring());
  EXPECT_EQ(Mix_Playing(-1), 0);

  pressS();
  ASSERT_TRUE(runUntilAFiring());
  EXPECT_TRUE(soundOn);
  EXPECT_GT(Mix_Playing(-1), 0);
}

TEST(SoundStartUp, BrokenOrMissingFilesLeaveTheGameSilentWithoutACrash) {
  const Bytes click = readFile("click.wav");
  const Bytes blip = readFile("etm0507.mp3");
  ASSERT_FALSE(click.empty());
  ASSERT_FALSE(blip.empty());
  const std::string text = "this is not a sound\n";
  const struct {
    const char* name;
    Bytes clickFile;  // empty: no click.wav
    Bytes blipFile;   // empty with blipPresent: an empty file
    bool blipPresent;
    bool blipSilent;  // certainly nothing to play
  } cases[] = {
      {"no etm0507.mp3", click, {}, false, true},
      {"empty etm0507.mp3", click, {}, true, true},
      {"text etm0507.mp3", click, Bytes(text.begin(), text.end()), true, true},
      {"truncated etm0507.mp3", click, Bytes(blip.begin(), blip.begin() + blip.size() / 2), true,
       false},
      {"no click.wav", {}, blip, true, false},
      {"garbage click.wav", Bytes(text.begin(), text.end()), blip, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    if (!c.clickFile.empty()) writeFile(folder / "click.wav", c.clickFile);
    if (c.blipPresent) writeFile(folder / "etm0507.mp3", c.blipFile);
    {
      WorkIn there(folder.path);
      initSound();
    }
    ASSERT_TRUE(mixerOpen());
    SDL_PauseAudio(1);
    if (c.clickFile == click) {
      ASSERT_NE(soundSamples[0], nullptr);
      expectPlayable(soundSamples[0]);
    } else {
      EXPECT_EQ(soundSamples[0], nullptr);
    }
    if (c.blipSilent) {
      EXPECT_EQ(soundSamples[1], nullptr);
    }
    if (c.blipFile == blip) {
      EXPECT_NE(soundSamples[1], nullptr);
    }
    if (soundSamples[1]) expectPlayable(soundSamples[1]);
    for (int i = 0; i < 20; ++i) playSound(1);
    EXPECT_EQ(Mix_Playing(-1), soundSamples[1] ? 16 : 0);
    closeSound();
    EXPECT_EQ(soundSamples[0], nullptr);
    EXPECT_EQ(soundSamples[1], nullptr);
  }
}

TEST(SoundStartUp, NoAudioDeviceLeavesTheGameSilent) {
  const char* saved = std::getenv("SDL_AUDIODRIVER");
  const std::string previous = saved ? saved : "";
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  initSound();
  EXPECT_FALSE(mixerOpen());
  EXPECT_EQ(soundSamples[0], nullptr);
  EXPECT_EQ(soundSamples[1], nullptr);
  playSound(1);
  playSound(0);
  closeSound();
  closeSound();
  // SDL counts its audio part as started even when no driver could be
  // found; stop it, so the next opening looks for a driver again.
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (saved)
    setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
  else
    unsetenv("SDL_AUDIODRIVER");
}

TEST(SoundStartUp, MixerKeepsPlayingAfterVideoStartsSdl) {
  // As in the program: sound starts SDL's audio by itself, then the video
  // start calls SDL_Init with audio among its flags.
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  ASSERT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  initSound();
  ASSERT_TRUE(mixerOpen());
  EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
  SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO);
  ASSERT_TRUE(mixerOpen());
  ASSERT_NE(soundSamples[1], nullptr);
  SDL_PauseAudio(1);
  Mix_HaltChannel(-1);
  playSound(1);
  EXPECT_EQ(channelPlaying(soundSamples[1]), 0);
  closeSound();
  EXPECT_FALSE(mixerOpen());
  // Closing once more, as a second shutdown would, does no harm.
  closeSound();
}
