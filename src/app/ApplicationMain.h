#pragma once

// The program from its start to its quit: the application object, the running copy's claim,
// analytics, the TLS trust read on a worker, the launch sequence and the event loop, then the
// steps that must end before the process does. The executable's main() is only this, so a
// bench runs the very same start. GUI thread.
class ApplicationMain {
public:
    // The process's exit code.
    static int run(int argc, char* argv[]);
};
