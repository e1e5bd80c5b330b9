#pragma once
// Flash movies (.swf): every image of an animation becomes a bitmap shown for as many movie
// frames as its delay lasts.
#include <string>
#include <vector>

#include "core/anim_document.h"

namespace fw {

class Progress;

// 1 on success; 0 when the file cannot be written. An image whose JPEG cannot be made is
// left out of the movie.
int WriteSwfFile(const std::string& path, const AnimHeader& document, Progress* progress = nullptr);

// The movie's time unit for these delays (hundredths): their largest common divisor among the
// divisors of min(100, every delay but the first), so the rate 100 / unit is a whole number.
int SwfTimeUnit(const std::vector<int>& delays);

}  // namespace fw
