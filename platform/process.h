#pragma once
// Process-wide protection of the secrets a program holds in memory.

namespace ks {

// Makes the process write no core file when it crashes and refuse other processes of the same
// user that would read its memory (ptrace attach, /proc/PID/mem). Call first thing in main.
// False when the system refused either step; the program runs on regardless.
bool disable_core_dumps() noexcept;

}  // namespace ks
