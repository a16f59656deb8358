#pragma once
// Ending the program from inside a statement. EXIT, RESTART and the desktop
// layer's refusals throw this; the main program catches it and returns the
// status, so every owner is destroyed in order on the way out.

namespace ef2 {

struct ExitRequest {
    int status = 0;
};

}  // namespace ef2
