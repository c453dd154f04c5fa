#include "app/splash.h"

namespace tarnwick {

void SplashShow() {}

}  // namespace tarnwick
