#pragma once

#include <QString>

#include "engine/expected.h"

namespace tarnwick {

// Opens a web address in the user's browser, without waiting for it.
Expected<void> OpenAddress(const QString& address);

}  // namespace tarnwick
