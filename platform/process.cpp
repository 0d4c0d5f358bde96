#include "platform/process.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace ks {

bool disable_core_dumps() noexcept {
    const rlimit none{0, 0};
    const bool no_core = setrlimit(RLIMIT_CORE, &none) == 0;
    const bool not_dumpable = prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return no_core && not_dumpable;
}

}  // namespace ks
