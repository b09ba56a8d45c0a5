// Error codes that the foundation's containers and readers return; 0 is success. Codes below
// 5000 are the system's, 5000 up are the record files' and 8004 up the values'.
#pragma once

enum : int {
    kErrOk = 0,
    kErrOutOfMemory = 8,
    kErrFileDamaged = 5000, // a stored form that does not fit its block, or a foreign one
    kErrBadValue = 8004,    // an argument that names nothing (an empty slot, a text too long)
};
