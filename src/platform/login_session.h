// Who runs the program and in which login session: what keeps one user's
// running application apart from another user's, and one login session's
// from another's.
#pragma once

#include <string>

namespace qb {

// The user's number where the system numbers users, else the user's name.
std::string LoginUser();

// What names the login session: the session's runtime folder where the
// system has one (empty when unset), else the session's number.
std::string LoginSession();

}  // namespace qb
