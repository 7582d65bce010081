#include "platform/PixelFormat.h"

namespace platform {

int ChoosePixelFormat(TDeviceContext, const TPixelFormatDescriptor* pfd) {
  return pfd != nullptr ? 1 : 0;
}

}  // namespace platform
