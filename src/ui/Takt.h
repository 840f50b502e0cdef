// A bounded rate for what a long run shows: a caption set for every one of thousands of small files costs
// more than the files, and nobody can read it. Teraz() is true at once, then at most once an interval.
#pragma once

#include <windows.h>

class TTakt {
public:
    explicit TTakt(ULONGLONG odstepMs) : FOdstep(odstepMs) {}

    bool Teraz()
    {
        const ULONGLONG teraz = GetTickCount64();
        if (FByl && teraz - FOstatni < FOdstep) return false;
        FByl = true;
        FOstatni = teraz;
        return true;
    }

private:
    ULONGLONG FOdstep;
    ULONGLONG FOstatni = 0;
    bool FByl = false;
};
