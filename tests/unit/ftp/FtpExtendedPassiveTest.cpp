#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScriptedFtpServer.h"

namespace {

TEST(FtpExtendedPassive, RepliesAreParsedStrictly)
{
    const std::pair<const char*, int> good[] = {
        {"Entering Extended Passive Mode (|||6446|)", 6446},
        {"Entering Extended Passive Mode (|||2121|).", 2121},
        {"(!!!1!)", 1},
        {"  ok (###65535#) ", 65535},
    };
    for (const auto& [line, port] : good)
        EXPECT_EQ(ParseExtendedPassiveReply(line), port) << line;
    for (const char* line :
         {"Entering Extended Passive Mode (|||0|)", "(|||70000|)", "(|||65536|)", "(||||)", "(|||21x|)",
          "(||1|2121|)", "(|2|::1|2121|)", "(1112121|)", "(|||-1|)", "(|||+80|)", "(|||2121!)",
          "Entering Extended Passive Mode |||2121|", "(|||2121)", "(|||2121|", "(   )", "()", "",
          "(|||99999999999999999999|)", "(111211)"}) {
        try {
            ParseExtendedPassiveReply(line);
            ADD_FAILURE() << "accepted: " << line;
        } catch (const EIdFTPPassiveAddressError& e) {
            EXPECT_NE(e.Message().find("extended passive reply"), std::string::npos) << e.Message();
        }
    }
}

// On IPv4, EPSV is asked only when the server refuses PASV outright (5xx); a bad EPSV answer
// fails the transfer with a clear error and leaves the session in step.
TEST(FtpExtendedPassive, RefusedPasvFallsBackToEpsvOnIPv4)
{
    struct Row {
        const char* Pasv;
        const char* Epsv; // "serve": a good reply and the data; "": EPSV must not come
        const char* Error;
    };
    const Row rows[] = {
        {"502 Command not implemented.", "serve", ""},
        {"500 PASV not understood.", "229 Entering Extended Passive Mode (|||0|)",
         "Invalid port in the extended passive reply"},
        {"502 Command not implemented.", "229 Entering Extended Passive Mode (|||70000|)",
         "Invalid port in the extended passive reply"},
        {"502 Command not implemented.", "229 Entering Extended Passive Mode (|2121|)",
         "Invalid extended passive reply"},
        {"502 Command not implemented.", "500 EPSV not understood.", "EPSV not understood"},
        {"425 Cannot open a passive connection.", "", "Cannot open a passive connection"},
    };
    const std::string data(70000, 'e');
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.Pasv) + " / " + row.Epsv);
        const std::string epsv = row.Epsv;
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            s.Expect("PASV", row.Pasv);
            if (epsv == "serve") {
                const int port = s.ListenForData();
                s.Expect("EPSV", ExtendedPassiveReply(port));
                const int fd = s.AcceptData();
                s.Expect("RETR f.bin", "150 Opening data connection.");
                ScriptedFtpSession::SendAll(fd, data);
                ScriptedFtpSession::CloseFd(fd);
                s.Reply("226 Transfer complete.");
            } else if (!epsv.empty()) {
                s.Expect("EPSV", epsv);
            }
            s.Expect("NOOP", "200 NOOP ok.");
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = true;
        c.Ftp.ConnectAndLogin();
        TStringStream stream;
        std::string error;
        try {
            c.Ftp.DownloadToStream("f.bin", stream);
        } catch (const EIdException& e) {
            error = e.Message();
        }
        if (*row.Error == '\0')
            EXPECT_TRUE(stream.DataString() == data);
        else
            EXPECT_NE(error.find(row.Error), std::string::npos) << error;
        EXPECT_EQ(c.Ftp.SendCommand("NOOP", 200), 200);
        server.Join();
    }
}

} // namespace
