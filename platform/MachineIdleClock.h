#pragma once

#include "platform/IdleClock.h"

#include <memory>

namespace glimora::platform {

// The best idle clock this machine offers; one implementation per operating system.
std::unique_ptr<IdleClock> createMachineIdleClock();

} // namespace glimora::platform
