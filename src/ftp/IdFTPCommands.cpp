// File and folder commands: one or two commands each on the control connection, no data connection.
#include <cstdint>

#include "ftp/IdFTP.h"

void TIdFTP::ChangeFolder(const std::string& name)
{
    SendCommand("CWD " + name, {200, 250});
}

int16_t TIdFTP::ChangeFolderUp()
{
    return SendCommand("CDUP", {200, 250});
}

std::string TIdFTP::CurrentFolder()
{
    SendCommand("PWD", {257});
    const std::string line = LastReply().Text.Count() > 0 ? LastReply().Text[0] : std::string();
    const size_t open = line.find('"');
    if (open == std::string::npos)
        return std::string();
    // A quote inside the name is written twice.
    std::string folder;
    for (size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            folder += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
            folder += '"';
            ++i;
        } else {
            return folder;
        }
    }
    return std::string();
}

void TIdFTP::CreateFolder(const std::string& name)
{
    SendCommand("MKD " + name, {257});
}

void TIdFTP::RemoveFolder(const std::string& name)
{
    SendCommand("RMD " + name, {250});
}

void TIdFTP::DeleteRemoteFile(const std::string& name)
{
    SendCommand("DELE " + name, {250});
}

void TIdFTP::RenameRemote(const std::string& oldName, const std::string& newName)
{
    SendCommand("RNFR " + oldName, {350});
    SendCommand("RNTO " + newName, {250});
}

void TIdFTP::SiteCommand(const std::string& command)
{
    SendCommand("SITE " + command, {200});
}

int64_t ParseSizeReply(const std::string& text)
{
    std::string value = IdTrim(text);
    const size_t space = value.find(' ');
    if (space != std::string::npos)
        value.erase(0, space + 1);
    if (value.empty())
        return -1;
    int64_t size = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            return -1;
        const int digit = c - '0';
        if (size > (INT64_MAX - digit) / 10)
            return -1;
        size = size * 10 + digit;
    }
    return size;
}

int64_t TIdFTP::RemoteFileSize(const std::string& name)
{
    FSizeName = name;
    FSizeAnswer = -1;
    if (SendCommand("SIZE " + name, int16_t{-1}) != 213)
        return -1;
    std::string text;
    for (int i = 0; i < LastReply().Text.Count(); ++i)
        text += (i > 0 ? "\r\n" : "") + LastReply().Text[i];
    FSizeAnswer = ParseSizeReply(text);
    return FSizeAnswer;
}
