#include "ui/units.h"

#include <cmath>
#include <limits>

namespace tarvex::ui {

int TwipsToPx(float twips) {
  const double px = std::nearbyint(double(twips) / kTwipsPerPixel);
  if (!(px >= std::numeric_limits<int>::min() && px <= std::numeric_limits<int>::max()))
    return px < 0 ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
  return static_cast<int>(px);
}

}  // namespace tarvex::ui
