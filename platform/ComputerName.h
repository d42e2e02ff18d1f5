#pragma once

#include <QString>

namespace glimora::platform {

// This computer's name as the login offers it for the server box: the host name, read
// into a buffer of 256 characters. Empty when the system cannot tell.
QString computerName();

} // namespace glimora::platform
