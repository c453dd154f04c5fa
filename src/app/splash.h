#pragma once

namespace tarnwick {

// Shows the splash picture for its time when one is due; returns at once
// when none is.
void SplashShow();

}  // namespace tarnwick
