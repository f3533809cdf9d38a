#pragma once
// A fresh folder below the system's temporary folder, removed with everything in it.
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};
