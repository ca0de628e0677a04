#include "tools/replay/script.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <sstream>

namespace {
// Splits a line at blanks and tabs.
std::vector<std::string> tokensOf(const std::string& line) {
  std::vector<std::string> tokens;
  std::istringstream words(line);
  std::string word;
  while (words >> word) tokens.push_back(word);
  return tokens;
}

// A plain decimal number (digits only) no larger than limit.
bool parseNumber(const std::string& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  value = 0;
  for (char ch : text) {
    if (!std::isdigit(static_cast<unsigned char>(ch))) return false;
    value = value * 10 + static_cast<uint64_t>(ch - '0');
    if (value > limit) return false;
  }
  return true;
}

bool parseKey(const std::string& name, SDLKey& key) {
  if (name == "escape") {
    key = SDLK_ESCAPE;
  } else if (name == "space") {
    key = SDLK_SPACE;
  } else if (name == "return") {
    key = SDLK_RETURN;
  } else if (name.size() == 1 &&
             ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= '0' && name[0] <= '9'))) {
    key = static_cast<SDLKey>(name[0]);  // SDL's letter and digit keys are their characters
  } else {
    return false;
  }
  return true;
}

// Everything after the first `skip` words of a line, without surrounding blanks.
std::string restOfLine(const std::string& line, int skip) {
  size_t at = 0;
  for (int i = 0; i < skip; ++i) {
    at = line.find_first_not_of(" \t", at);
    at = line.find_first_of(" \t", at);
    if (at == std::string::npos) return "";
  }
  const size_t first = line.find_first_not_of(" \t", at);
  if (first == std::string::npos) return "";
  const size_t last = line.find_last_not_of(" \t");
  return line.substr(first, last - first + 1);
}

struct LineParser {
  Script& script;
  std::string& error;
  int lineNumber;
  bool seedSeen = false;
  bool framesSeen = false;

  bool fail(const std::string& what) {
    error = "line " + std::to_string(lineNumber) + ": " + what;
    return false;
  }

  bool coordinates(const std::vector<std::string>& t, size_t first, SDL_Event& event, bool motion) {
    uint64_t x = 0, y = 0;
    if (!parseNumber(t[first], 65535, x) || !parseNumber(t[first + 1], 65535, y))
      return fail("coordinates must be whole numbers from 0 to 65535");
    if (motion) {
      event.motion.x = static_cast<Uint16>(x);
      event.motion.y = static_cast<Uint16>(y);
    } else {
      event.button.x = static_cast<Uint16>(x);
      event.button.y = static_cast<Uint16>(y);
    }
    return true;
  }

  bool atCommand(const std::string& line, const std::vector<std::string>& t) {
    if (t.size() < 3) return fail("expected 'at FRAME COMMAND ...'");
    uint64_t frame = 0;
    if (!parseNumber(t[1], INT_MAX, frame) || frame == 0)
      return fail("frame number must be a whole number from 1");
    const std::string& what = t[2];
    const int f = static_cast<int>(frame);

    if (what == "screenshot") {
      const std::string path = restOfLine(line, 3);
      if (path.empty()) return fail("expected 'at FRAME screenshot PATH'");
      script.screenshots.push_back(ScriptScreenshot{f, lineNumber, path});
      return true;
    }

    SDL_Event event{};
    if (what == "click" || what == "button") {
      const bool click = what == "click";
      const size_t expected = click ? 5 : 6;
      if (t.size() != expected)
        return fail(click ? "expected 'at FRAME click X Y'" : "expected 'at FRAME button B X Y'");
      uint64_t button = 1;
      if (!click && (!parseNumber(t[3], 5, button) || button == 0))
        return fail("button must be 1 to 5");
      event.type = SDL_MOUSEBUTTONDOWN;
      event.button.button = static_cast<Uint8>(button);
      event.button.state = SDL_PRESSED;
      if (!coordinates(t, click ? 3 : 4, event, false)) return false;
    } else if (what == "motion") {
      if (t.size() != 5) return fail("expected 'at FRAME motion X Y'");
      event.type = SDL_MOUSEMOTION;
      if (!coordinates(t, 3, event, true)) return false;
    } else if (what == "key" || what == "keyup") {
      SDLKey key = SDLK_UNKNOWN;
      if (t.size() != 4 || !parseKey(t[3], key))
        return fail("expected 'at FRAME " + what +
                    " NAME' with NAME escape, space, return, a lowercase letter or a digit");
      const bool down = what == "key";
      event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
      event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
      event.key.keysym.sym = key;
    } else if (what == "quit") {
      if (t.size() != 3) return fail("expected 'at FRAME quit'");
      event.type = SDL_QUIT;
    } else {
      return fail("unknown event '" + what + "'");
    }
    script.events.push_back(ScriptEvent{f, lineNumber, event});
    return true;
  }

  bool parse(const std::string& line) {
    const std::vector<std::string> t = tokensOf(line);
    if (t.empty() || t[0][0] == '#') return true;
    const std::string& command = t[0];
    if (command == "seed") {
      uint64_t seed = 0;
      if (t.size() != 2 || !parseNumber(t[1], UINT32_MAX, seed))
        return fail("expected 'seed S' with S from 0 to 4294967295");
      if (seedSeen) return fail("the seed is given twice");
      seedSeen = true;
      script.seed = static_cast<uint32_t>(seed);
      return true;
    }
    if (command == "frames") {
      uint64_t frames = 0;
      if (t.size() != 2 || !parseNumber(t[1], INT_MAX, frames))
        return fail("expected 'frames N' with a whole number N");
      if (framesSeen) return fail("the number of frames is given twice");
      framesSeen = true;
      script.frames = static_cast<int>(frames);
      return true;
    }
    if (command == "at") return atCommand(line, t);
    return fail("unknown command '" + command + "'");
  }
};
}  // namespace

bool parseScript(std::istream& in, Script& script, std::string& error) {
  script = Script();
  LineParser parser{script, error, 0};
  std::string line;
  while (std::getline(in, line)) {
    ++parser.lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!parser.parse(line)) return false;
  }

  const auto byFrame = [](const auto& a, const auto& b) { return a.frame < b.frame; };
  std::stable_sort(script.events.begin(), script.events.end(), byFrame);
  std::stable_sort(script.screenshots.begin(), script.screenshots.end(), byFrame);

  // Checks that need the whole script: every frame named must be run, and a
  // frame's events must fit into SDL's queue.
  const auto beyond = [&](int frame, int line) {
    parser.lineNumber = line;
    return parser.fail("frame " + std::to_string(frame) + " lies beyond the last frame " +
                       std::to_string(script.frames));
  };
  int eventsInFrame = 0;
  for (size_t i = 0; i < script.events.size(); ++i) {
    const ScriptEvent& e = script.events[i];
    if (e.frame > script.frames) return beyond(e.frame, e.line);
    eventsInFrame = i > 0 && script.events[i - 1].frame == e.frame ? eventsInFrame + 1 : 1;
    if (eventsInFrame > maxEventsPerFrame) {
      parser.lineNumber = e.line;
      return parser.fail("more than " + std::to_string(maxEventsPerFrame) + " events in frame " +
                         std::to_string(e.frame));
    }
  }
  for (const ScriptScreenshot& shot : script.screenshots)
    if (shot.frame > script.frames) return beyond(shot.frame, shot.line);
  return true;
}
