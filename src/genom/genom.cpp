#include "genom/genom.h"

#include <cmath>

void Normalize(TVector& vector) {
  // The length is rounded to single precision before the divisions, so that every component is
  // divided by the same stored value.
  const float length = static_cast<float>(std::sqrt(static_cast<double>(vector.X) * vector.X +
                                                    static_cast<double>(vector.Y) * vector.Y +
                                                    static_cast<double>(vector.Z) * vector.Z));
  vector.X /= length;
  vector.Y /= length;
  vector.Z /= length;
}
