// What FEAT offers after the login, and downloads resumed with REST, against scripted replies.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/ScriptedFtpServer.h"
#include "support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TEST(FtpFeatures, FeatRepliesAndWhatTheyOffer)
{
    struct Case {
        const char* name;
        std::string featReply;
        std::string optsReply; // empty: OPTS UTF8 must not be sent
        std::vector<std::pair<std::string, bool>> probes;
    };
    const Case cases[] = {
        {"no FEAT", "502 Not implemented.", "", {{"UTF8", false}, {"REST STREAM", false}}},
        {"FEAT refused", "500 'FEAT': command not understood", "", {{"UTF8", false}}},
        {"nothing offered", "211 No features.", "", {{"EPSV", false}}},
        {"a full list, any case, refused OPTS",
         FeatReply({"EPRT", "EPSV", "MDTM", "MLST type*;size*;modify;", "REST STREAM", "SIZE", "utf8"}),
         "501 Option not understood.",
         {{"UTF8", true},
          {"rest stream", true},
          {"MLST", true},
          {"EPSV", true},
          {"REST", true},
          {"MLS", false},
          {"TVFS", false},
          {"STREAM", false}}},
        {"REST without STREAM, UTF8 accepted",
         FeatReply({"REST", "UTF8"}),
         "200 Always in UTF8 mode.",
         {{"REST STREAM", false}, {"UTF8", true}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLoginWithFeatures(s, k.featReply);
            if (!k.optsReply.empty())
                s.Expect("OPTS UTF8 ON", k.optsReply);
            s.Expect("NOOP", "200 in step");
        });
        RecordingClient c(server.Port());
        c.Ftp.ConnectAndLogin();
        for (const auto& [feature, offered] : k.probes)
            EXPECT_EQ(c.Ftp.Supports(feature), offered) << feature;
        EXPECT_EQ(c.Ftp.SendCommand("NOOP", int16_t{200}), 200);
        c.Ftp.Disconnect();
        server.Join();
    }
}

// A resume sends REST with the local size right before RETR and appends; whatever goes wrong,
// the bytes the file held stay as they were.
TEST(FtpFeatures, ResumedDownloadsAppendAndNeverCutWhatIsThere)
{
    struct Case {
        const char* name;
        std::string restReply;
        std::string sent;     // on the data connection after REST
        std::string expected; // the local file afterwards
        std::string failure;  // part of the error's text; empty: none
    };
    const Case cases[] = {
        {"resumed", "350 Restarting at 4.", "efgh", "abcdefgh", ""},
        {"refused", "502 REST not implemented.", "", "abcd",
         "The server refused to resume \"f.bin\" at byte 4: 502 REST not implemented."},
        {"cut short", "350 Restarting at 4.", "ef", "abcdef", "received 2 of 8 bytes"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TempDir dir;
        const std::string local = dir.Path() + "/f.bin";
        std::ofstream(local, std::ios::binary) << "abcd";
        const bool accepted = k.restReply[0] == '3';
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLoginWithFeatures(s, FeatReply({"REST STREAM"}));
            s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
            const int fd = s.AcceptData();
            s.Expect("REST 4", k.restReply);
            if (accepted) {
                // The whole file's size, as servers announce it after REST.
                s.Expect("RETR f.bin", "150 Opening BINARY mode data connection for f.bin (8 bytes).");
                ScriptedFtpSession::SendAll(fd, k.sent);
            }
            ScriptedFtpSession::CloseFd(fd);
            if (accepted)
                s.Reply("226 Transfer complete.");
            s.Expect("NOOP", "200 in step");
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = true;
        c.Ftp.ConnectAndLogin();
        std::string failure;
        try {
            c.Ftp.ResumeToFile("f.bin", local);
        } catch (const std::exception& e) {
            failure = e.what();
        }
        if (k.failure.empty())
            EXPECT_EQ(failure, "");
        else
            EXPECT_NE(failure.find(k.failure), std::string::npos) << failure;
        EXPECT_EQ(FileText(local), k.expected);
        EXPECT_EQ(c.Ftp.SendCommand("NOOP", int16_t{200}), 200);
        server.Join();
    }
}

TEST(FtpFeatures, AResumeNeverWritesThroughALinkOrInAsciiMode)
{
    TempDir dir;
    const std::string target = dir.Path() + "/target.bin", link = dir.Path() + "/link.bin";
    std::ofstream(target, std::ios::binary) << "kept";
    std::filesystem::create_symlink(target, link);
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLoginWithFeatures(s, FeatReply({"REST STREAM"}));
        s.Expect("TYPE A", "200 ascii");
        s.Expect("NOOP", "200 nothing else was sent");
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    EXPECT_THROW(c.Ftp.ResumeToFile("f.bin", link), EFOpenError);
    c.Ftp.SetTransferType(ftASCII);
    EXPECT_THROW(c.Ftp.ResumeToFile("f.bin", target), EFOpenError);
    EXPECT_EQ(c.Ftp.SendCommand("NOOP", int16_t{200}), 200);
    EXPECT_EQ(FileText(target), "kept");
    server.Join();
}
