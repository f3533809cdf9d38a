#pragma once
// What the engine needs from the desktop, supplied by the window (tests supply their own).
#include <string>

class TEnginePlatform {
public:
    virtual ~TEnginePlatform() = default;
    // Opens a local file with its associated program.
    virtual void ShellOpen(const std::string& path) = 0;
    // The folder of the program, with a trailing "/": "err.txt" goes there.
    virtual std::string AppFolder() = 0;
    // The per-user configuration folder, with a trailing "/": "trusted-certs" goes there. Empty:
    // certificates the user trusts are kept for this run only.
    virtual std::string ConfigFolder() { return std::string(); }
};
