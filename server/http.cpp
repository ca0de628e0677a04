#include "http.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

namespace server {

namespace {
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

Resolved resolve(const std::string& root, std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  if (target.empty() || target[0] != '/') return {400, ""};
  std::string path;
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] != '%') {
      path += target[i];
      continue;
    }
    int high = i + 2 < target.size() ? hexValue(target[i + 1]) : -1;
    int low = high >= 0 ? hexValue(target[i + 2]) : -1;
    if (low < 0) return {400, ""};
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  if (path.find('\0') != std::string::npos || path.find('\\') != std::string::npos)
    return {400, ""};
  // No segment may climb: "..", however it was written.
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return {403, ""};
    start = end + 1;
  }
  std::string file = root + path;
  struct stat info;
  if (stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    if (file.back() != '/') file += '/';
    file += "index.html";
  }
  // A link inside the site may not lead out of it either.
  char real[PATH_MAX];
  if (realpath(file.c_str(), real) == nullptr) return {404, ""};
  std::string resolved = real;
  if (resolved.compare(0, root.size(), root) != 0 ||
      (resolved.size() > root.size() && resolved[root.size()] != '/'))
    return {403, ""};
  if (stat(real, &info) != 0 || !S_ISREG(info.st_mode)) return {404, ""};
  return {200, resolved};
}

std::string contentType(const std::string& file) {
  static const std::pair<const char*, const char*> types[] = {
      {".html", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".wasm", "application/wasm"},
      {".css", "text/css; charset=utf-8"},
      {".json", "application/json"},
      {".png", "image/png"},
      {".svg", "image/svg+xml"},
      {".ico", "image/x-icon"},
      {".mp3", "audio/mpeg"},
      {".wav", "audio/wav"},
      {".txt", "text/plain; charset=utf-8"},
  };
  std::size_t dot = file.rfind('.');
  std::string ext = dot == std::string::npos ? "" : file.substr(dot);
  for (auto& [suffix, type] : types)
    if (ext == suffix) return type;
  return "application/octet-stream";
}

}  // namespace server
