#include "util/privileges.h"

#include "platform/process.h"

namespace vq::util {

void EnableAllPrivileges(unsigned first, unsigned last)
{
    for (unsigned id = first; id <= last; ++id) {
        bool wasEnabled = false;
        platform::RtlAdjustPrivilege(id, true, false, &wasEnabled);
    }
}

} // namespace vq::util
