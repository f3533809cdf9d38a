#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>

#include "support/ScriptedFtpServer.h"
#include "support/TempDir.h"
#include "support/ThreadState.h"

namespace {

using Lines = std::vector<std::string>;

void ServePassiveDownload(ScriptedFtpSession& s, const std::string& command, const std::string& data,
                          const std::string& finalReply = "226 Transfer complete.")
{
    const int port = s.ListenForData();
    // The reply names another loopback address on which nothing listens: the client must use
    // the control connection's peer instead.
    s.Expect("PASV", PassiveReply("127.0.0.2", port));
    const int fd = s.AcceptData();
    s.Expect(command, "150 Opening data connection.");
    ScriptedFtpSession::SendAll(fd, data);
    ScriptedFtpSession::CloseFd(fd);
    s.Reply(finalReply);
}

void ServeActiveDownload(ScriptedFtpSession& s, const std::string& command, const std::string& data,
                         const std::string& finalReply = "226 Transfer complete.")
{
    const std::string port = s.ReadCommand();
    EXPECT_EQ(port.rfind("PORT 127,0,0,1,", 0), 0u) << port;
    s.Reply("200 PORT command successful.");
    s.Expect(command, "150 Opening data connection.");
    const int fd = s.ConnectData(port.substr(5));
    ScriptedFtpSession::SendAll(fd, data);
    ScriptedFtpSession::CloseFd(fd);
    s.Reply(finalReply);
}

std::string Pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131 + i / 4099) & 0xFF);
    return data;
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

int FileCount(const std::string& folder)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++count;
    }
    return count;
}

TEST(FtpScriptedTransfer, PassiveRepliesAreParsedOrRefused)
{
    struct Good {
        const char* line;
        const char* host;
        int port;
    };
    const Good good[] = {
        {"Entering Passive Mode (192,168,1,20,19,137)", "192.168.1.20", 5001},
        {"Entering Passive Mode 10,0,0,5,4,1", "10.0.0.5", 1025},
        {"10,0,0,5,4,1", "10.0.0.5", 1025},
        {"  =(127,0,0,1,255,255) extra words  ", "127.0.0.1", 65535},
    };
    for (const Good& g : good) {
        std::string host;
        int port = 0;
        ParsePassiveReply(g.line, host, port);
        EXPECT_EQ(host, g.host) << g.line;
        EXPECT_EQ(port, g.port) << g.line;
    }
    for (const char* line : {"Entering Passive Mode (127,0,0,1,4)", "(127,0,0,1,x,1)", "( 127,0,0,1,4,1)", "",
                             "Entering Passive Mode"}) {
        std::string host;
        int port = 0;
        EXPECT_THROW(ParsePassiveReply(line, host, port), EConvertError) << line;
    }
    for (const char* line : {"(300,0,0,1,4,1)", "(127,0,0,1,256,1)", "(127,0,0,1,1,-1)", "(127,0,0,1,0,0)",
                             "(127,0,0,1,99999999999999999999,1)"}) {
        std::string host;
        int port = 0;
        EXPECT_THROW(ParsePassiveReply(line, host, port), EIdFTPPassiveAddressError) << line;
    }
}

TEST(FtpScriptedTransfer, DownloadInBothModesGivesTheBytesAndStatuses)
{
    const std::string data = Pattern(300000);
    for (bool passive : {true, false}) {
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            if (passive)
                ServePassiveDownload(s, "RETR dir/a file.bin", data);
            else
                ServeActiveDownload(s, "RETR dir/a file.bin", data);
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = passive;
        int64_t lastWork = 0;
        c.Ftp.OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t count) { lastWork = count; };
        c.Ftp.ConnectAndLogin();
        TStringStream stream;
        c.Ftp.DownloadToStream("dir/a file.bin", stream);
        EXPECT_EQ(stream.DataString(), data);
        EXPECT_GT(lastWork, 0);
        EXPECT_EQ(c.Ftp.DataChannel(), nullptr);
        EXPECT_EQ(c.FtpStatuses(),
                  Lines({"Connection established", "Starting FTP transfer", "Transfer complete"}));
    }
}

TEST(FtpScriptedTransfer, FinalRepliesAndRefusals)
{
    struct Case {
        const char* finalReply;
        bool aborted;
    };
    for (const Case& k : {Case{"226 Done.", false}, Case{"250 Done.", false},
                          Case{"426 Connection closed; transfer aborted.\r\n226 Abort successful.", true},
                          Case{"450 Aborted.\r\n225 Data connection open.", true}}) {
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            ServePassiveDownload(s, "RETR f", "abc", k.finalReply);
            s.Expect("NOOP", "200 in step");
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = true;
        c.Ftp.ConnectAndLogin();
        TStringStream stream;
        // A 426 or 450 the client did not ask for is the server breaking the transfer off.
        EXPECT_EQ(ReplyErrorCode([&] { c.Ftp.DownloadToStream("f", stream); }),
                  k.aborted ? atoi(k.finalReply) : 0);
        const Lines statuses = c.FtpStatuses();
        EXPECT_EQ(Lines(statuses.begin() + 1, statuses.end()),
                  Lines({"Starting FTP transfer", "Transfer complete"}))
            << k.finalReply;
        EXPECT_EQ(c.Ftp.SendCommand("NOOP", int16_t{200}), 200);
    }
}

TEST(FtpScriptedTransfer, RefusedRetrReadsNoFurtherReply)
{
    for (bool passive : {true, false}) {
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            int fd = -1;
            if (passive) {
                s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
                fd = s.AcceptData();
            } else {
                EXPECT_EQ(s.ReadCommand().substr(0, 5), "PORT ");
                s.Reply("200 ok");
            }
            s.Expect("RETR missing.txt", "550 Failed to open file.");
            ScriptedFtpSession::CloseFd(fd);
            s.Expect("NOOP", "200 in step");
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = passive;
        c.Ftp.ConnectAndLogin();
        TStringStream stream;
        EXPECT_EQ(ReplyErrorCode([&] { c.Ftp.DownloadToStream("missing.txt", stream); }), 550);
        EXPECT_EQ(c.FtpStatuses().back(), "Transfer complete");
        EXPECT_EQ(c.Ftp.DataChannel(), nullptr);
        EXPECT_EQ(c.Ftp.SendCommand("NOOP", int16_t{200}), 200);
    }
}

TEST(FtpScriptedTransfer, ListingCommandsAndEmptyListing)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLogin(s);
        ServePassiveDownload(s, "LIST -a", "total 0\r\n-rw-r--r-- 1 a b 5 Jan 15 10:30 one.txt\r\n");
        ServePassiveDownload(s, "LIST", "");
    });
    RecordingClient c(server.Port());
    c.Ftp.Passive = true;
    c.Ftp.ConnectAndLogin();
    TStringList lines;
    c.Ftp.ListFolder(&lines, "-a");
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(c.Ftp.ParsedListing().Count(), 1);
    EXPECT_EQ(c.Ftp.ParsedListing()[0].EntryName, "one.txt");
    c.Ftp.ListFolder(nullptr, "   ");
    EXPECT_EQ(c.Ftp.ListingLines().Count(), 0);
    EXPECT_EQ(c.Ftp.ParsedListing().Count(), 0);
}

TEST(FtpScriptedTransfer, UploadInBothModesSendsTheWholeStream)
{
    const std::string data = Pattern(1 << 20);
    for (bool passive : {true, false}) {
        std::string received;
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            int fd;
            if (passive) {
                s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
                s.Expect("STOR up load.bin", ""); // the command comes before the data connection
                fd = s.AcceptData();
                s.Reply("150 Ok to send data.");
            } else {
                const std::string port = s.ReadCommand();
                s.Reply("200 ok");
                s.Expect("STOR up load.bin", "150 Ok to send data.");
                fd = s.ConnectData(port.substr(5));
            }
            received = ScriptedFtpSession::ReceiveAll(fd);
            ScriptedFtpSession::CloseFd(fd);
            s.Reply("226 Transfer complete.");
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = passive;
        c.Ftp.ConnectAndLogin();
        TStringStream stream(data);
        stream.SetPosition(passive ? 0 : 1000); // active mode rewinds, passive starts where it is
        c.Ftp.UploadFromStream(stream, "up load.bin");
        server.Join();
        EXPECT_EQ(received.size(), data.size());
        EXPECT_TRUE(received == data);
    }
}

// Data blocks are large, but a link that delivers or takes little at a time must still give
// work events (and the abort check that rides on them) long before a whole block has moved.
TEST(FtpScriptedTransfer, WorkEventsDoNotWaitForAWholeBlock)
{
    const std::string data = Pattern(4 << 20);
    for (bool upload : {false, true}) {
        std::mutex lock;
        std::condition_variable changed;
        bool workSeen = false;
        bool sawWorkWhileStalled = false;
        std::string received;
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
            int fd;
            if (upload) {
                s.Expect("STOR up", "");
                fd = s.AcceptData();
                s.Reply("150 go");
            } else {
                fd = s.AcceptData();
                s.Expect("RETR down", "150 go");
                ScriptedFtpSession::SendAll(fd, data.substr(0, 40000));
            }
            // Stalls (reads or sends nothing more) until the client reports work, or 10 s.
            {
                std::unique_lock<std::mutex> guard(lock);
                sawWorkWhileStalled =
                    changed.wait_for(guard, std::chrono::seconds(10), [&] { return workSeen; });
            }
            if (upload)
                received = ScriptedFtpSession::ReceiveAll(fd);
            else
                ScriptedFtpSession::SendAll(fd, data.substr(40000));
            ScriptedFtpSession::CloseFd(fd);
            s.Reply("226 Transfer complete.");
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = true;
        c.Ftp.ConnectAndLogin();
        c.Ftp.OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t count) {
            if (count <= 0)
                return;
            std::lock_guard<std::mutex> guard(lock);
            workSeen = true;
            changed.notify_all();
        };
        TStringStream stream(upload ? data : std::string());
        if (upload)
            c.Ftp.UploadFromStream(stream, "up");
        else
            c.Ftp.DownloadToStream("down", stream);
        server.Join();
        EXPECT_TRUE(sawWorkWhileStalled) << (upload ? "upload" : "download");
        EXPECT_TRUE((upload ? received : stream.DataString()) == data);
    }
}

TEST(FtpScriptedTransfer, AbortFromTheWorkEventReadsTheServersReplies)
{
    enum Kind { kDownload, kUpload, kUploadLooksComplete };
    for (Kind kind : {kDownload, kUpload, kUploadLooksComplete}) {
        const bool upload = kind != kDownload;
        // Made before the server starts waiting: under a sanitizer this takes seconds.
        TStringStream data(upload ? Pattern(64 << 20) : std::string());
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
            int fd = -1;
            if (upload) {
                s.Expect("STOR big", "");
                fd = s.AcceptData();
                s.Reply("150 go");
                ScriptedFtpSession::ReceiveAll(fd);
            } else {
                fd = s.AcceptData();
                s.Expect("RETR big", "150 go");
                ScriptedFtpSession::SendAll(fd, Pattern(8 << 20)); // ends when the client cuts the connection
            }
            ScriptedFtpSession::CloseFd(fd);
            if (kind == kUploadLooksComplete) {
                // The end of the data looked like a complete file; the ABOR is answered on its own.
                s.Reply("226 Transfer complete.");
                s.Expect("ABOR", "225 No transfer to ABOR.");
                s.Expect("NOOP", "200 NOOP ok.");
            } else {
                s.Expect("ABOR", "426 Transfer aborted.\r\n226 ABOR successful.");
            }
            s.Expect("PWD", "257 \"/\" in step");
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = true;
        c.Ftp.ConnectAndLogin();
        c.Ftp.OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t count) {
            c.Ftp.SetTransferType(ftASCII); // ignored during a transfer
            if (count > 100000 && c.Ftp.DataChannel() != nullptr)
                c.Ftp.AbortTransfer();
        };
        if (upload)
            c.Ftp.UploadFromStream(data, "big");
        else
            c.Ftp.DownloadToStream("big", data);
        EXPECT_EQ(c.FtpStatuses().back(),
                  kind == kUploadLooksComplete ? "Transfer complete" : "Transfer aborted");
        EXPECT_EQ(c.Ftp.TransferType(), ftBinary);
        EXPECT_EQ(c.Ftp.CurrentFolder(), "/") << kind;
    }
}

TEST(FtpScriptedTransfer, DownloadToFileKeepsTheUsersFileUnlessComplete)
{
    TempDir dir;
    const std::string target = dir.Path() + "/report.txt";
    WriteFile(target, "precious");
    chmod(target.c_str(), 0640);
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLogin(s);
        s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
        ScriptedFtpSession::CloseFd(s.AcceptData());
        s.Expect("RETR report.txt", "550 No such file.");
        ServePassiveDownload(s, "RETR report.txt", "new contents");
    });
    RecordingClient c(server.Port());
    c.Ftp.Passive = true;
    c.Ftp.ConnectAndLogin();
    // Without permission nothing is sent.
    EXPECT_THROW(c.Ftp.DownloadToFile("report.txt", target, false), EIdFTPFileAlreadyExists);
    EXPECT_EQ(ReplyErrorCode([&] { c.Ftp.DownloadToFile("report.txt", target, true); }), 550);
    EXPECT_EQ(FileText(target), "precious");
    EXPECT_EQ(FileCount(dir.Path()), 1);
    c.Ftp.DownloadToFile("report.txt", target, true);
    EXPECT_EQ(FileText(target), "new contents");
    EXPECT_EQ(FileCount(dir.Path()), 1);
    struct stat st {};
    stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    server.Join();
    EXPECT_EQ(server.Commands().size(), 4u + 4u);
}

TEST(FtpScriptedTransfer, BrokenDownloadLeavesOldFileOrNothing)
{
    TempDir dir;
    const std::string existing = dir.Path() + "/old.bin";
    const std::string fresh = dir.Path() + "/new.bin";
    WriteFile(existing, "precious");
    // The reset comes once the client has written some of the data into a file of the folder.
    auto clientWroteSome = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            if (entry.path() != existing && entry.is_regular_file() && entry.file_size() > 0)
                return true;
        return false;
    };
    ScriptedFtpServer server([&](ScriptedFtpSession& s) {
        ScriptLogin(s);
        for (int i = 0; i < 2; ++i) {
            s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
            const int fd = s.AcceptData();
            s.ReadCommand();
            s.Reply("150 go");
            ScriptedFtpSession::SendAll(fd, Pattern(200000));
            EXPECT_TRUE(PollUntil(clientWroteSome));
            linger reset{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ScriptedFtpSession::CloseFd(fd);
            s.Reply("426 Connection reset.");
        }
    });
    RecordingClient c(server.Port());
    c.Ftp.Passive = true;
    c.Ftp.ConnectAndLogin();
    EXPECT_THROW(c.Ftp.DownloadToFile("x", existing, true), EIdFTPDataConnectionError);
    EXPECT_EQ(FileText(existing), "precious");
    EXPECT_EQ(FileCount(dir.Path()), 1);
    // The failure read the 426 itself; a fresh file is not left half-made under its name.
    EXPECT_THROW(c.Ftp.DownloadToFile("x", fresh, false), EIdFTPDataConnectionError);
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(FileCount(dir.Path()), 1);
    EXPECT_TRUE(c.Ftp.IsConnected());
}

TEST(FtpScriptedTransfer, ActiveModeRefusesStrangersAndStopsWaiting)
{
    for (bool stranger : {true, false}) {
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            const std::string port = s.ReadCommand();
            s.Reply("200 ok");
            s.Expect("RETR f", "150 go");
            int fd = -1;
            if (stranger) {
                fd = s.ConnectData(port.substr(5), "127.0.0.2");
                ScriptedFtpSession::SendAll(fd, "injected");
            }
            EXPECT_TRUE(s.ClientClosedQuietly());
            ScriptedFtpSession::CloseFd(fd);
        });
        RecordingClient c(server.Port());
        c.Ftp.ReplyTimeoutMs = 300;
        c.Ftp.ConnectAndLogin();
        TStringStream stream;
        const auto start = std::chrono::steady_clock::now();
        // A stranger is turned away and the wait goes on, until the time-out drops the session.
        EXPECT_THROW(c.Ftp.DownloadToStream("f", stream), EIdReadTimeout);
        EXPECT_FALSE(c.Ftp.IsConnected());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(stream.DataString(), "");
        EXPECT_EQ(c.Ftp.DataChannel(), nullptr);
        c.Ftp.Disconnect();
    }
}

TEST(FtpScriptedTransfer, ShutdownFromAnotherThreadEndsABlockedCall)
{
    enum Where { kReply, kPassiveData, kActiveWait };
    for (Where where : {kReply, kPassiveData, kActiveWait}) {
        std::atomic<bool> served{false};
        ScriptedFtpServer server([&](ScriptedFtpSession& s) {
            ScriptLogin(s);
            if (where == kPassiveData) {
                s.Expect("PASV", PassiveReply("127.0.0.1", s.ListenForData()));
                const int fd = s.AcceptData();
                s.Expect("RETR f", "150 go");
                served = true;
                s.ClientClosedQuietly(10000);
                ScriptedFtpSession::CloseFd(fd);
            } else if (where == kActiveWait) {
                s.ReadCommand();
                s.Reply("200 ok");
                s.Expect("RETR f", "150 go");
                served = true;
                s.ClientClosedQuietly(10000);
            } else {
                s.Expect("NOOP", ""); // and never answer
                served = true;
                s.ClientClosedQuietly(10000);
            }
        });
        RecordingClient c(server.Port());
        c.Ftp.Passive = where == kPassiveData;
        c.Ftp.ConnectAndLogin();
        bool failed = false;
        std::atomic<int> workerId{-1};
        std::thread worker([&] {
            workerId = ThisThreadId();
            try {
                TStringStream stream;
                if (where == kReply)
                    c.Ftp.SendCommand("NOOP", int16_t{200});
                else
                    c.Ftp.DownloadToStream("f", stream);
            } catch (const EIdException&) {
                failed = true;
            }
        });
        // The server has said all it will say, and the client waits for more.
        ASSERT_TRUE(PollUntil([&] { return served && workerId >= 0 && BlockedOnIo(workerId); })) << where;
        const auto start = std::chrono::steady_clock::now();
        c.Ftp.ShutdownConnections();
        worker.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << where;
        EXPECT_TRUE(failed) << where;
        c.Ftp.Disconnect();
    }
}

} // namespace
