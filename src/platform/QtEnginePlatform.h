#pragma once
// The desktop services the worker needs, for the real window.
#include <string>

#include "engine/EnginePlatform.h"

class TQtEnginePlatform : public TEnginePlatform {
public:
    explicit TQtEnginePlatform(std::string appFolder) : FAppFolder(std::move(appFolder)) {}
    void ShellOpen(const std::string& path) override;
    std::string AppFolder() override { return FAppFolder; }
    void SetAppFolder(std::string folder) { FAppFolder = std::move(folder); }
    // The folder of servers.sit: certificates the user trusts are kept beside the sites.
    std::string ConfigFolder() override { return FConfigFolder; }
    void SetConfigFolder(std::string folder) { FConfigFolder = std::move(folder); }

private:
    std::string FAppFolder;
    std::string FConfigFolder;
};
