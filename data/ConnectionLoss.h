#pragma once

namespace glimora::data {

class DbError;

// Whether the error says that the link to the server is gone, cannot be made or does not
// answer in time (the server stopped, the network is down, the session was killed), rather
// than that a statement was wrong: the same statement may succeed once the server is back.
bool isConnectionLost(const DbError& error);

} // namespace glimora::data
