#pragma once

namespace vq::util {

// Asks for every privilege id from first to last, ascending, to be enabled
// on the process token. Ids the token does not hold come back refused; the
// answers are not looked at.
void EnableAllPrivileges(unsigned first, unsigned last);

} // namespace vq::util
