// Which mixer channels are busy, kept by the game itself where the mixer
// cannot say (the browser's has no Mix_GroupAvailable or Mix_GroupOldest).
#pragma once

#include <cstdint>
#include <vector>

class ChannelBook {
 public:
  explicit ChannelBook(int channels) : started_(channels > 0 ? channels : 0, idle) {}

  // The channel a new sound takes, booked as started now: the lowest free
  // one, or with all busy the one started longest ago. -1 without channels.
  int claim() {
    int chosen = -1;
    for (int c = 0; c < count(); ++c) {
      if (started_[c] == idle) {
        chosen = c;
        break;
      }
      if (chosen < 0 || started_[c] < started_[chosen]) chosen = c;
    }
    if (chosen >= 0) started_[chosen] = ++starts_;
    return chosen;
  }

  // The mixer reports that the channel's sound has ended or was halted.
  void finished(int channel) {
    if (channel >= 0 && channel < count()) started_[channel] = idle;
  }

  int count() const { return static_cast<int>(started_.size()); }

 private:
  static constexpr uint64_t idle = 0;
  std::vector<uint64_t> started_;  // the number of the start, idle when free
  uint64_t starts_ = 0;
};
