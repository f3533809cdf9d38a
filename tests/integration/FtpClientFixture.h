#pragma once
// Helpers of the FTP client's tests against real servers.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "ftp/IdFTP.h"
#include "net/IdLogEvent.h"

inline std::string Pattern(size_t size, unsigned seed = 7)
{
    std::string data(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = static_cast<char>(x >> 24);
    }
    return data;
}

inline std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A client set up for a server on 127.0.0.1 that records the command lines it sends.
struct LoggedClient {
    TIdFTP Ftp;
    TIdLogEvent Log;
    std::string Sent;

    LoggedClient(const std::string& host, int port, const std::string& user, const std::string& password,
                 bool passive)
    {
        Ftp.SetHost(host);
        Ftp.SetPort(port);
        Ftp.Username = user;
        Ftp.Password = password;
        Ftp.Passive = passive;
        Log.OnSent = [this](TIdBaseComponent*, const std::string&, const std::string& data) { Sent += data; };
        Log.SetActive(true);
        Ftp.SetIntercept(&Log);
    }
    ~LoggedClient() { Ftp.SetIntercept(nullptr); }
};

inline const TIdFTPListItem* FindEntry(TIdFTPListItems& items, const std::string& name)
{
    for (int i = 0; i < items.Count(); ++i) {
        if (items[i].EntryName == name)
            return &items[i];
    }
    return nullptr;
}
