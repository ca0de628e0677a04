// spindrel-break-file: writes a broken or unusual version of one of the
// game's data files, for the table that checks the game survives them.
//
//   spindrel-break-file KIND SOURCE DEST
//
// SOURCE is the good file (a sheet, click.wav or etm0507.mp3); some kinds
// only need its length or ignore it. Kinds:
//   any file:  empty, truncated-header, truncated, garbage, wrong-magic
//   sheets:    1x1, 0x0, 8bit, 16bit, 1bit, huge
//   click.wav: one-sample, no-channels, 8bit, 16bit, 1bit, huge
//   mp3:       one-frame, tag-only, huge
// Exit code 0 when DEST was written, 1 on a failure, 2 on bad arguments.
#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

bool readFile(const char* path, Bytes& out) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    out.insert(out.end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

bool writeFile(const char* path, const Bytes& data) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

void put16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void putTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }
uint32_t get32(const Bytes& b, size_t at) {
  return at + 4 <= b.size() ? b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24
                            : 0;
}

// Deterministic noise: the same garbage on every run.
Bytes garbage(size_t length) {
  Bytes out(length);
  uint32_t state = 20050507u;
  for (uint8_t& byte : out) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return out;
}

// ---- Bitmaps ---------------------------------------------------------------

struct Rgb {
  uint8_t r, g, b;
  bool operator<(const Rgb& o) const {
    return (r << 16 | g << 8 | b) < (o.r << 16 | o.g << 8 | o.b);
  }
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // top row first
  const Rgb& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool loadImage(const char* path, Image& image) {
  SDL_Surface* loaded = SDL_LoadBMP(path);
  if (!loaded) return false;
  SDL_PixelFormat rgb{};
  rgb.BitsPerPixel = 32;
  rgb.BytesPerPixel = 4;
  rgb.Rmask = 0xFF0000;
  rgb.Gmask = 0xFF00;
  rgb.Bmask = 0xFF;
  rgb.Rshift = 16;
  rgb.Gshift = 8;
  SDL_Surface* s = SDL_ConvertSurface(loaded, &rgb, SDL_SWSURFACE);
  SDL_FreeSurface(loaded);
  if (!s) return false;
  image.width = s->w;
  image.height = s->h;
  SDL_LockSurface(s);
  for (int y = 0; y < s->h; ++y) {
    const Uint32* row =
        reinterpret_cast<const Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < s->w; ++x)
      image.pixels.push_back(Rgb{uint8_t(row[x] >> 16), uint8_t(row[x] >> 8), uint8_t(row[x])});
  }
  SDL_UnlockSurface(s);
  SDL_FreeSurface(s);
  return true;
}

// A Windows bitmap with a 40-byte info header, rows bottom-up, each padded
// to four bytes. The declared size may differ from the pixels given.
Bytes bitmap(int32_t width, int32_t height, int bitsPerPixel, const std::vector<Rgb>& palette,
             const Bytes& rows) {
  Bytes b;
  const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  b.push_back('B');
  b.push_back('M');
  put32(b, offset + static_cast<uint32_t>(rows.size()));
  put32(b, 0);
  put32(b, offset);
  put32(b, 40);
  put32(b, static_cast<uint32_t>(width));
  put32(b, static_cast<uint32_t>(height));
  put16(b, 1);
  put16(b, bitsPerPixel);
  put32(b, 0);  // no compression
  put32(b, static_cast<uint32_t>(rows.size()));
  put32(b, 2835);
  put32(b, 2835);
  put32(b, static_cast<uint32_t>(palette.size()));
  put32(b, 0);
  for (const Rgb& c : palette) {
    b.push_back(c.b);
    b.push_back(c.g);
    b.push_back(c.r);
    b.push_back(0);
  }
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

// The image's pixels in one of the formats a bitmap can hold.
Bytes encodeRows(const Image& image, int bitsPerPixel, std::vector<Rgb>& palette) {
  std::map<Rgb, int> index;
  if (bitsPerPixel == 8) {
    for (const Rgb& c : image.pixels)
      if (!index.count(c) && index.size() < 256) index[c] = 0;
    if (index.size() < 256) {  // an exact palette
      for (auto& entry : index) {
        entry.second = static_cast<int>(palette.size());
        palette.push_back(entry.first);
      }
    } else {  // too many colours: three bits red, three green, two blue
      index.clear();
      for (int i = 0; i < 256; ++i)
        palette.push_back(Rgb{uint8_t((i >> 5) * 255 / 7), uint8_t(((i >> 2) & 7) * 255 / 7),
                              uint8_t((i & 3) * 255 / 3)});
    }
  } else if (bitsPerPixel == 1) {
    // The top-left (transparent) colour and one other.
    palette = {image.at(0, 0),
               image.at(0, 0) == Rgb{255, 255, 255} ? Rgb{0, 0, 0} : Rgb{255, 255, 255}};
  }
  const size_t stride = (static_cast<size_t>(image.width) * bitsPerPixel + 31) / 32 * 4;
  Bytes rows(stride * image.height, 0);
  for (int y = 0; y < image.height; ++y) {
    uint8_t* row = &rows[stride * (image.height - 1 - y)];
    for (int x = 0; x < image.width; ++x) {
      const Rgb& c = image.at(x, y);
      switch (bitsPerPixel) {
        case 1:
          if (!(c == image.at(0, 0))) row[x / 8] |= 0x80 >> (x % 8);
          break;
        case 8:
          row[x] = index.empty() ? uint8_t((c.r >> 5) << 5 | (c.g >> 5) << 2 | c.b >> 6) : index[c];
          break;
        case 16: {  // five bits each
          const uint32_t v = (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3;
          row[2 * x] = v & 0xFF;
          row[2 * x + 1] = v >> 8;
          break;
        }
        default:
          row[3 * x] = c.b;
          row[3 * x + 1] = c.g;
          row[3 * x + 2] = c.r;
          break;
      }
    }
  }
  return rows;
}

bool breakSheet(const std::string& kind, const char* source, Bytes& out) {
  Image image;
  if (kind == "1x1") {
    out = bitmap(1, 1, 24, {}, Bytes{0x40, 0x80, 0xC0, 0});
    return true;
  }
  if (kind == "0x0") {
    out = bitmap(0, 0, 24, {}, {});
    return true;
  }
  if (!loadImage(source, image)) {
    std::fprintf(stderr, "spindrel-break-file: %s is not a bitmap: %s\n", source, SDL_GetError());
    return false;
  }
  std::vector<Rgb> palette;
  if (kind == "8bit" || kind == "16bit" || kind == "1bit") {
    const int bits = kind == "8bit" ? 8 : (kind == "16bit" ? 16 : 1);
    const Bytes rows = encodeRows(image, bits, palette);
    out = bitmap(image.width, image.height, bits, palette, rows);
    return true;
  }
  if (kind == "huge") {
    // Ten billion pixels claimed, the real sheet's rows given.
    out = bitmap(100000, 100000, 24, {}, encodeRows(image, 24, palette));
    return true;
  }
  return false;
}

// ---- Sounds ----------------------------------------------------------------

// A RIFF WAVE file with PCM data; the declared sizes may lie.
Bytes wave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data,
           uint32_t declaredData) {
  Bytes b;
  putTag(b, "RIFF");
  put32(b, 36 + declaredData);
  putTag(b, "WAVE");
  putTag(b, "fmt ");
  put32(b, 16);
  put16(b, 1);  // PCM
  put16(b, channels);
  put32(b, rate);
  put32(b, rate * channels * ((bits + 7) / 8));
  put16(b, channels * ((bits + 7) / 8));
  put16(b, bits);
  putTag(b, "data");
  put32(b, declaredData);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// A short tone, so that the unusual formats hold real sound.
Bytes tone(size_t samples, int bits, int channels) {
  Bytes data;
  for (size_t i = 0; i < samples; ++i) {
    const int level = (i / 20) % 2 ? 1 : -1;
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) data.push_back(static_cast<uint8_t>(128 + 60 * level));
      if (bits == 16) put16(data, static_cast<uint16_t>(static_cast<int16_t>(8000 * level)));
    }
  }
  return data;
}

bool breakWave(const std::string& kind, Bytes& out) {
  if (kind == "one-sample")
    out = wave(1, 22050, 16, tone(1, 16, 1), 2);
  else if (kind == "no-channels")
    out = wave(0, 0, 16, {}, 0);
  else if (kind == "8bit")
    out = wave(1, 8000, 8, tone(4000, 8, 1), 4000);
  else if (kind == "16bit")
    out = wave(2, 44100, 16, tone(4410, 16, 2), 4410 * 4);
  else if (kind == "1bit")
    out = wave(1, 22050, 1, garbage(512), 512);
  // 100,000 samples a second and a data chunk that claims four gigabytes.
  else if (kind == "huge")
    out = wave(2, 100000, 16, tone(1000, 16, 2), 0xFFFFFFF0u);
  else
    return false;
  return true;
}

// Where the first MPEG audio frame starts, after an ID3v2 tag if any.
size_t firstFrame(const Bytes& mp3) {
  size_t at = 0;
  if (mp3.size() >= 10 && !std::memcmp(mp3.data(), "ID3", 3))
    at = 10 +
         ((mp3[6] & 0x7F) << 21 | (mp3[7] & 0x7F) << 14 | (mp3[8] & 0x7F) << 7 | (mp3[9] & 0x7F));
  while (at + 1 < mp3.size() && !(mp3[at] == 0xFF && (mp3[at + 1] & 0xE0) == 0xE0)) ++at;
  return at;
}

Bytes id3Tag(uint32_t declaredSize) {
  Bytes b = {'I', 'D', '3', 3, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7) b.push_back((declaredSize >> shift) & 0x7F);
  return b;
}

bool breakMp3(const std::string& kind, const Bytes& source, Bytes& out) {
  if (kind == "tag-only") {
    out = id3Tag(0);
  } else if (kind == "huge") {
    // A tag that claims 256 megabytes, then the real frames.
    out = id3Tag(0x0FFFFFFF);
    out.insert(out.end(), source.begin() + firstFrame(source), source.end());
  } else if (kind == "one-frame") {
    const size_t start = firstFrame(source);
    size_t end = start + 4;  // up to the next frame's sync
    while (end + 1 < source.size() && !(source[end] == 0xFF && (source[end + 1] & 0xE0) == 0xE0))
      ++end;
    if (start >= source.size()) return false;
    out.assign(source.begin() + start, source.begin() + std::min(end, source.size()));
  } else {
    return false;
  }
  return true;
}

// ---- Any file --------------------------------------------------------------

bool breakAnyFile(const std::string& kind, const Bytes& source, Bytes& out) {
  if (kind == "empty") {
    out.clear();
  } else if (kind == "truncated-header") {
    // The file's first few bytes: inside a bitmap's info header, a wave's
    // format chunk, an MP3's tag header or its first frame header.
    size_t keep = 22;
    if (source.size() >= 3 && !std::memcmp(source.data(), "ID3", 3))
      keep = 5;
    else if (source.size() >= 2 && source[0] == 0xFF && (source[1] & 0xE0) == 0xE0)
      keep = 2;
    out.assign(source.begin(), source.begin() + std::min(source.size(), keep));
  } else if (kind == "truncated") {
    // The headers complete and half of the data behind them.
    size_t keep = source.size() / 2;
    if (source.size() > 14 && source[0] == 'B' && source[1] == 'M') {
      const size_t offset = get32(source, 10);
      keep = offset + (source.size() - offset) / 2;
    } else if (source.size() > 44 && !std::memcmp(source.data(), "RIFF", 4)) {
      keep = 44 + (source.size() - 44) / 2;
    }
    out.assign(source.begin(), source.begin() + std::min(keep, source.size()));
  } else if (kind == "garbage") {
    out = garbage(source.empty() ? 4096 : source.size());
  } else if (kind == "wrong-magic") {
    out = source;
    for (size_t i = 0; i < 4 && i < out.size(); ++i) out[i] = 'X';
  } else {
    return false;
  }
  return true;
}

bool endsWith(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: spindrel-break-file KIND SOURCE DEST\n");
    return 2;
  }
  const std::string kind = argv[1], source = argv[2];
  Bytes original, out;
  const bool haveSource = readFile(source.c_str(), original);

  bool made = false;
  if (kind == "empty" || kind == "truncated-header" || kind == "truncated" || kind == "garbage" ||
      kind == "wrong-magic") {
    if (!haveSource && kind != "empty" && kind != "garbage") {
      std::fprintf(stderr, "spindrel-break-file: cannot read %s\n", source.c_str());
      return 1;
    }
    made = breakAnyFile(kind, original, out);
  } else if (endsWith(source, ".bmp")) {
    made = breakSheet(kind, source.c_str(), out);
  } else if (endsWith(source, ".wav")) {
    made = breakWave(kind, out);
  } else if (endsWith(source, ".mp3")) {
    if (!haveSource) {
      std::fprintf(stderr, "spindrel-break-file: cannot read %s\n", source.c_str());
      return 1;
    }
    made = breakMp3(kind, original, out);
  }
  if (!made) {
    std::fprintf(stderr, "spindrel-break-file: cannot make '%s' from %s\n", kind.c_str(),
                 source.c_str());
    return 1;
  }
  if (!writeFile(argv[3], out)) {
    std::fprintf(stderr, "spindrel-break-file: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
