// Records that fail for the repository's sake, not their own: the pass that
// meets one fails (its records were not published, whatever the rest of
// the table did), and it stops once the repository cannot be reached at all
// instead of failing every record left.
#pragma once

#include <cstdint>
#include <string>

namespace publisher {

// The repository could not do the work: its connection was lost (62) or is
// busy (61), it could not write (29: a full disk, a refusal), it refused the
// sign-on (28), or its file is damaged (7).
bool IsRepositoryFailure(int32_t rc);
// What such a code means, for the log: the callers' name table shows 61 and
// 62 under one name, and the log must tell a lost connection from a busy one.
const char* RepositoryFailureText(int32_t rc);
// Whether the repository takes a new connection (kernel started, connected,
// disconnected, stopped), tried a few times over about a second so that a
// server restarting is not taken for one gone.
bool RepositoryReachable(const std::string& repository);

}  // namespace publisher
