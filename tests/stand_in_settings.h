// The stand-ins take their settings from small files in their working folder,
// which the tests write before starting the launcher.
#pragma once
#include <windows.h>
#include <cstdio>

// The number written in the file `name`, or 0 when there is none.
inline int NumberIn(const char* name)
{
    int number = 0;
    if (FILE* file = fopen(name, "rb")) {
        if (fscanf(file, "%d", &number) != 1)
            number = 0;
        fclose(file);
    }
    return number;
}

inline bool Exists(const char* name)
{
    return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}
