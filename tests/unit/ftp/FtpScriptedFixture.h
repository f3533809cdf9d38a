#pragma once
// Shared pieces of the scripted-server tests: the usual login, and a client that records statuses.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ftp/IdFTP.h"
#include "unit/ftp/FtpScriptedServer.h"

// The server side of a plain login that the client makes ready.
inline void ScriptLogin(FtpScriptSession& s)
{
    s.Reply("220 scripted server ready");
    s.Expect("USER anna", "331 Password required.");
    s.Expect("PASS secret", "230 Logged in.");
    s.Expect("TYPE I", "200 Type set.");
    s.Expect("SYST", "215 UNIX Type: L8");
}

struct RecordingClient {
    TIdFTP Ftp;
    std::vector<std::string> Statuses;

    explicit RecordingClient(int port)
    {
        Ftp.SetHost("127.0.0.1");
        Ftp.SetPort(port);
        Ftp.Username = "anna";
        Ftp.Password = "secret";
        Ftp.OnStatus = [this](TIdBaseComponent*, TIdStatus, const std::string& text) {
            Statuses.push_back(text);
        };
    }
    // The statuses of the FTP client itself, without the transport's connect and disconnect lines.
    std::vector<std::string> FtpStatuses() const
    {
        std::vector<std::string> result;
        for (const std::string& s : Statuses) {
            if (s == "Starting FTP transfer" || s == "Transfer complete" || s == "Transfer aborted" ||
                s == "Connection established")
                result.push_back(s);
        }
        return result;
    }
};

// Runs body and returns the reply code of the EIdProtocolReplyError it raises (0: none raised).
template <typename Body> int ReplyErrorCode(Body body)
{
    try {
        body();
    } catch (const EIdProtocolReplyError& e) {
        return e.ReplyCode;
    }
    return 0;
}
