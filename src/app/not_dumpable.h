#pragma once

// Makes the process not dumpable: no core file, and no other process of the
// same user may attach to it or read its memory through /proc. Called before
// the program holds any password. False when the system refused.
bool makeProcessNotDumpable();
