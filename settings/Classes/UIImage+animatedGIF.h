// UIImage(animatedGIF): an animated GIF as one animated UIImage whose
// entries keep each frame's own display time (prototypes as sent):
//   +animatedImageWithAnimatedGIFData:   id(id)   NSData of the GIF
//   +animatedImageWithAnimatedGIFURL:    id(id)   NSURL of a GIF file
//
// Each frame's delay is taken in whole centiseconds (the unclamped delay,
// else the delay time; 1 when neither is above 0, or for a value that is
// not finite; at most 65,535), the slot length is the greatest common
// divisor of the delays, and each frame fills as many consecutive entries
// of the frame list as its delay holds slots; the duration is the sum of the
// delays over 100 seconds. A frame that cannot be decoded is left out with
// its delay. nil for no source, no frames, more than 4,096 frames, more than
// 8 megapixels decoded in all (frames come at most
// as large as the main screen: see ImageIO.h), or delays that are all 0. A list that would
// exceed 10,000 entries holds each frame once instead.
#pragma once

#include <cstdint>
#include <vector>

// The frame list's make-up for delays in centiseconds: for each frame the
// number of entries it fills (all 0: nothing to show). Exposed for tests.
std::vector<int64_t> gifEntryCounts(const std::vector<int64_t>& delays);

void registerAnimatedGIF();
