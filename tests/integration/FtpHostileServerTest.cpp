// The worker against a server that misbehaves, and against traps in the local folder. Each row
// is one behaviour; after it the next two commands (a change of folder and a listing) must get
// their own replies, over the same session or, where the row drops it, over a new one.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

#include "ftp/IdFTP.h"
#include "support/EngineHarness.h"
#include "support/ScriptedFtpServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char* const kFileLine = "-rw-r--r-- 1 u g 4 Jan 01 2020 ";

struct Row;

struct RowRun {
    const Row& R;
    EngineHarness& H;
    ScriptedFtpServer& S;
    std::string Base; // a local folder the row may write into

    std::string Local(const std::string& name) const { return Base + "/" + name; }
    std::string LastError() const
    {
        const auto errors = H.Worker->Errors();
        return errors.empty() ? std::string() : errors.back();
    }
    bool HasError(const std::string& part) const
    {
        for (const std::string& e : H.Worker->Errors())
            if (e.find(part) != std::string::npos)
                return true;
        return false;
    }
    std::string RowState(const std::string& kind, int nth = 0) const
    {
        for (const TaskRow& row : H.Rows)
            if (row.Kind == kind && nth-- == 0)
                return row.FinalState;
        return "none";
    }
};

struct Row {
    const char* Name;
    // What the server does after the login and the first listing.
    std::function<void(ScriptedFtpServer&)> Serve;
    // What the user asks for.
    std::function<void(RowRun&)> Act;
    // The row's own outcome, checked before the next two commands.
    std::function<void(RowRun&)> Check;
    // The behaviour costs the session: the next command reconnects first.
    bool Drops = false;
    std::string Greeting = "220 scripted";
    std::string RootListing{};
    bool Passive = true;
    int ReplyTimeoutMs = 60000;
};

ScriptedFtpServer& Login(ScriptedFtpServer& s, const std::string& greeting)
{
    return s.Reply(greeting)
        .Expect("USER u", "331 password")
        .Expect("PASS p", "230 in")
        .Expect("TYPE I", "200 binary")
        .Expect("SYST", "215 UNIX Type: L8");
}

// The data connection of the next transfer command, in either mode.
ScriptedFtpServer& Data(ScriptedFtpServer& s, bool passive)
{
    if (passive)
        return s.OpenPassive().Expect("PASV", "227 Entering Passive Mode ({pasv})");
    return s.ExpectPrefix("PORT 127,0,0,1,", "200 ok");
}

ScriptedFtpServer& Listing(ScriptedFtpServer& s, bool passive, const std::string& command,
                           const std::string& lines)
{
    return Data(s, passive).Expect(command, "150 here").SendData(lines).Reply("226 done");
}

ScriptedFtpServer& Download(ScriptedFtpServer& s, const std::string& path, const std::string& bytes)
{
    s.Expect("SIZE " + path, "213 " + std::to_string(bytes.size()));
    return Data(s, true).Expect("RETR " + path, "150 here").SendData(bytes).Reply("226 done");
}

TFTPFileInfo Remote(const std::string& path, TFTPItemKind kind = ikFile)
{
    TFTPFileInfo info;
    info.Name = path.substr(path.rfind('/') + 1);
    info.Folder = "/";
    info.FullPath = path;
    info.Kind = kind;
    return info;
}

void Get(RowRun& run, const std::string& path, const std::string& local, TFTPItemKind kind = ikFile)
{
    const TFTPFileInfo info = Remote(path, kind);
    run.H.Worker->AddGet(&info, local);
}

// The process's peak memory is reset, so that the peak after the row is the row's own.
long PeakKilobytesFromNow(bool reset)
{
    if (reset)
        std::ofstream("/proc/self/clear_refs") << "5";
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Writes beyond this size fail as on a full disk; the signal the system sends for it is ignored.
class FileSizeLimit {
public:
    void Set(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FSaved);
        rlimit limit = FSaved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    void Restore() { setrlimit(RLIMIT_FSIZE, &FSaved); }

private:
    rlimit FSaved{};
};

FileSizeLimit gDiskFull;
long gMemoryBefore = 0;
const std::string kBig(256 * 1024, 'b');

std::string GarbledListing()
{
    std::string lines;
    for (int i = 0; i < 2000; ++i)
        lines += i % 400 == 7 ? "garbage that is no entry\r\n"
                              : kFileLine + std::string("f") + std::to_string(i) + ".bin\r\n";
    return lines;
}

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    rows.push_back(
        {"reset in the middle of a download",
         [](ScriptedFtpServer& s) {
             s.Expect("SIZE /r.bin", "213 262144");
             Data(s, true).Expect("RETR /r.bin", "150 here").SendDataThenReset(kBig.substr(0, 100000));
             s.Reply("426 Connection reset.");
         },
         [](RowRun& r) { Get(r, "/r.bin", r.Local("r.bin")); },
         [](RowRun& r) {
             EXPECT_EQ(r.RowState("GET"), "Failed");
             EXPECT_NE(r.LastError().find("10054"), std::string::npos) << r.LastError();
             EXPECT_FALSE(fs::exists(r.Local("r.bin")));
         }});
    rows.push_back({"425 after STOR: the data connection is refused",
                    [](ScriptedFtpServer& s) {
                        s.Expect("CWD /", "250 ok");
                        Listing(s, true, "LIST", "").Expect("CWD /", "250 ok");
                        s.OpenPassive().ClosePassive().Expect("PASV", "227 Entering Passive Mode ({pasv})");
                        s.Expect("STOR /up.bin", "425 Can't open data connection.");
                    },
                    [](RowRun& r) {
                        WriteFileBytes(r.Local("up.bin"), "upload");
                        r.H.Worker->AddPut(r.Local("up.bin"), "/up.bin", false);
                    },
                    [](RowRun& r) {
                        EXPECT_EQ(r.RowState("PUT"), "Failed");
                        EXPECT_NE(r.LastError().find("10061"), std::string::npos) << r.LastError();
                    }});
    rows.push_back({"426 after a local write failure (full disk), over a new file",
                    [](ScriptedFtpServer& s) {
                        s.Expect("SIZE /big.bin", "213 262144");
                        Data(s, true).Expect("RETR /big.bin", "150 here").SendDataMayBreak(kBig);
                        s.Reply("426 Transfer aborted.");
                    },
                    [](RowRun& r) {
                        gDiskFull.Set(64 * 1024);
                        Get(r, "/big.bin", r.Local("big.bin"));
                    },
                    [](RowRun& r) {
                        gDiskFull.Restore();
                        EXPECT_EQ(r.RowState("GET"), "Failed");
                        EXPECT_EQ(r.LastError(), std::string("Stream write error: ") + std::strerror(EFBIG));
                        EXPECT_TRUE(fs::is_empty(r.Base)) << "nothing left behind";
                    }});
    rows.push_back({"full disk over an existing file",
                    [](ScriptedFtpServer& s) {
                        s.Expect("SIZE /big.bin", "213 262144");
                        Data(s, true).Expect("RETR /big.bin", "150 here").SendDataMayBreak(kBig);
                        s.Reply("426 Transfer aborted.");
                    },
                    [](RowRun& r) {
                        WriteFileBytes(r.Local("big.bin"), "precious");
                        gDiskFull.Set(64 * 1024);
                        Get(r, "/big.bin", r.Local("big.bin"));
                    },
                    [](RowRun& r) {
                        gDiskFull.Restore();
                        EXPECT_EQ(r.RowState("GET"), "Failed");
                        EXPECT_EQ(ReadFileBytes(r.Local("big.bin")), "precious");
                        EXPECT_EQ(std::distance(fs::directory_iterator(r.Base), fs::directory_iterator()), 1);
                    }});
    Row stranger{"a stranger on the active-mode listener",
                 [](ScriptedFtpServer& s) {
                     s.Expect("SIZE /s.bin", "213 4");
                     Data(s, false).Expect("RETR /s.bin", "150 here").StrangerConnects("evil");
                     s.SendData("real").Reply("226 done");
                 },
                 [](RowRun& r) { Get(r, "/s.bin", r.Local("s.bin")); },
                 [](RowRun& r) {
                     EXPECT_EQ(r.RowState("GET"), "Completed");
                     EXPECT_EQ(ReadFileBytes(r.Local("s.bin")), "real");
                 }};
    stranger.Passive = false;
    rows.push_back(stranger);
    // 421 to every command with a task waiting: the bounded reconnection belongs to the worker's
    // own tests (the count of attempts lives in its loop).
    rows.push_back({"short data after SIZE",
                    [](ScriptedFtpServer& s) {
                        s.Expect("SIZE /short.bin", "213 100");
                        Data(s, true).Expect("RETR /short.bin", "150 here").SendData(std::string(50, 's'));
                        s.Reply("226 done");
                    },
                    [](RowRun& r) { Get(r, "/short.bin", r.Local("short.bin")); },
                    [](RowRun& r) {
                        EXPECT_EQ(r.LastError(), "Transfer incomplete: received 50 of 100 bytes");
                        EXPECT_FALSE(fs::exists(r.Local("short.bin")));
                    }});
    rows.push_back({"short data after \"(N bytes)\"",
                    [](ScriptedFtpServer& s) {
                        s.Expect("SIZE /short.bin", "550 no size here");
                        Data(s, true)
                            .Expect("RETR /short.bin", "150 Opening BINARY mode data connection (100 bytes).")
                            .SendData(std::string(50, 's'))
                            .Reply("226 done");
                    },
                    [](RowRun& r) {
                        WriteFileBytes(r.Local("short.bin"), "old");
                        r.H.Answer = 'y';
                        Get(r, "/short.bin", r.Local("short.bin"));
                    },
                    [](RowRun& r) {
                        EXPECT_EQ(r.LastError(), "Transfer incomplete: received 50 of 100 bytes");
                        EXPECT_EQ(ReadFileBytes(r.Local("short.bin")), "old");
                    }});
    Row garbled{"a 2,000-line listing with garbage lines", [](ScriptedFtpServer&) {}, [](RowRun&) {},
                [](RowRun& r) { EXPECT_EQ(r.H.CurrentNames().size(), 1995u); }};
    garbled.RootListing = GarbledListing();
    rows.push_back(garbled);
    rows.push_back(
        {"an unresolvable link in a folder download",
         [](ScriptedFtpServer& s) {
             const std::string lines = "lrwxrwxrwx 1 u g 7 Jan 01 2020 gone -> missing\r\n" +
                                       std::string(kFileLine) + "real.bin\r\n" +
                                       "lrwxrwxrwx 1 u g 8 Jan 01 2020 good -> real.bin\r\n";
             s.Expect("CWD /links", "250 ok");
             Listing(s, true, "LIST -a", lines);
             for (int link = 0; link < 2; ++link)
                 Listing(s.Expect("CWD /links", "250 ok"), true, "LIST", lines).Expect("CWD /", "250 ok");
             s.Expect("CWD /", "250 ok");
             Download(s, "/links/real.bin", "data");
             Download(s, "/links/real.bin", "data");
         },
         [](RowRun& r) { Get(r, "/links", r.Local("links"), ikFolder); },
         [](RowRun& r) {
             EXPECT_TRUE(r.HasError("Skipped link gone: target not found"));
             EXPECT_EQ(ReadFileBytes(r.Local("links/good")), "data");
             EXPECT_EQ(ReadFileBytes(r.Local("links/real.bin")), "data");
             EXPECT_FALSE(fs::exists(fs::symlink_status(r.Local("links/gone"))));
         }});
    rows.push_back({"a planted link to a missing file",
                    [](ScriptedFtpServer& s) { Download(s, "/p.bin", "data"); },
                    [](RowRun& r) {
                        fs::create_directory(r.Local("outside"));
                        fs::create_symlink(r.Local("outside/missing"), r.Local("p.bin"));
                        r.H.Answer = 'y';
                        Get(r, "/p.bin", r.Local("p.bin"));
                    },
                    [](RowRun& r) {
                        EXPECT_EQ(r.H.Questions.size(), 1u) << "a link there is something there";
                        EXPECT_FALSE(fs::exists(r.Local("outside/missing")));
                        EXPECT_FALSE(fs::is_symlink(r.Local("p.bin")));
                        EXPECT_EQ(ReadFileBytes(r.Local("p.bin")), "data");
                    }});
    rows.push_back({"a planted folder link", [](ScriptedFtpServer&) {},
                    [](RowRun& r) {
                        fs::create_directory(r.Local("outside"));
                        fs::create_directory_symlink(r.Local("outside"), r.Local("dir"));
                        Get(r, "/dir", r.Local("dir"), ikFolder);
                    },
                    [](RowRun& r) {
                        EXPECT_EQ(r.RowState("GET"), "Failed");
                        EXPECT_TRUE(r.HasError("it is a symbolic link"));
                        EXPECT_TRUE(fs::is_empty(r.Local("outside")));
                    }});
    Row flood{"a 200,000-line reply",
              [](ScriptedFtpServer& s) {
                  s.Expect("MKD /flood").FloodControl("250-" + std::string(96, 'x') + "\r\n", 200000);
              },
              [](RowRun& r) {
                  gMemoryBefore = PeakKilobytesFromNow(true);
                  r.H.Worker->AddMakeDir("/flood");
              },
              [](RowRun& r) {
                  EXPECT_EQ(r.LastError(), "The server's reply is too long.");
                  EXPECT_LT(PeakKilobytesFromNow(false) - gMemoryBefore, 50 * 1024) << "kB";
              }};
    flood.Drops = true;
    rows.push_back(flood);
    rows.push_back(
        {"an endless folder tree under delete",
         [](ScriptedFtpServer& s) {
             const std::string sub = "drwxr-xr-x 2 u g 4096 Jan 01 2020 d\r\n";
             for (int level = 0; level < 64; ++level)
                 Listing(s.Expect(level == 0 ? "CWD /deep" : "CWD d", "250 ok"), true, "LIST -a", sub);
             for (int level = 63; level >= 0; --level)
                 s.Expect("CDUP", "250 ok").Expect(level == 0 ? "RMD /deep" : "RMD d", "550 not empty");
         },
         [](RowRun& r) { r.H.Worker->AddRemoveDir("/deep"); },
         [](RowRun& r) {
             EXPECT_EQ(r.RowState("REM DIR"), "Failed");
             EXPECT_TRUE(r.HasError("more than 64 folders deep"));
         }});
    Row blanks{"a name with two blanks downloaded and deleted",
               [](ScriptedFtpServer& s) {
                   Download(s, "/a  b.bin", "data");
                   s.Expect("DELE /a  b.bin", "250 deleted");
               },
               [](RowRun& r) {
                   ASSERT_EQ(r.H.CurrentNames(), std::vector<std::string>{"a  b.bin"});
                   Get(r, "/a  b.bin", r.Local("a  b.bin"));
                   r.H.Worker->AddDelete("/a  b.bin");
               },
               [](RowRun& r) {
                   EXPECT_EQ(ReadFileBytes(r.Local("a  b.bin")), "data");
                   EXPECT_EQ(r.RowState("DELETE"), "Completed");
               }};
    blanks.RootListing = std::string(kFileLine) + "a  b.bin\r\n";
    rows.push_back(blanks);
    rows.push_back({"a stale listing under an upload",
                    [](ScriptedFtpServer& s) { s.Expect("CWD /sub/", "550 No such folder."); },
                    [](RowRun& r) {
                        WriteFileBytes(r.Local("x.bin"), "mine");
                        r.H.Answer = 'n';
                        r.H.Worker->AddPut(r.Local("x.bin"), "/sub/x.bin", false);
                    },
                    [](RowRun& r) {
                        EXPECT_EQ(r.H.Questions.size(), 1u) << "a failed check must ask";
                        for (const std::string& c : r.S.Commands())
                            EXPECT_NE(c.rfind("STOR", 0), 0u) << c;
                    }});
    rows.push_back({"a write to a peer that has closed",
                    [](ScriptedFtpServer& s) {
                        s.Expect("CWD /", "250 ok");
                        Listing(s, true, "LIST", "").Expect("CWD /", "250 ok");
                        Data(s, true).Expect("STOR /up.bin", "150 go").OpenDataAndClose();
                        s.Reply("426 Connection closed; transfer aborted.");
                    },
                    [](RowRun& r) {
                        WriteFileBytes(r.Local("up.bin"), std::string(32 << 20, 'u'));
                        r.H.Worker->AddPut(r.Local("up.bin"), "/up.bin", false);
                    },
                    [](RowRun& r) { EXPECT_EQ(r.RowState("PUT"), "Failed"); }});
    Row stalled{"an upload to a peer that stops reading",
                [](ScriptedFtpServer& s) {
                    s.Expect("CWD /", "250 ok");
                    Listing(s, true, "LIST", "").Expect("CWD /", "250 ok");
                    Data(s, true).Expect("STOR /up.bin", "150 go").OpenData().WaitForHangUp().CloseData();
                },
                [](RowRun& r) {
                    WriteFileBytes(r.Local("up.bin"), std::string(32 << 20, 'u'));
                    r.H.Worker->AddPut(r.Local("up.bin"), "/up.bin", false);
                },
                [](RowRun& r) {
                    EXPECT_EQ(r.RowState("PUT"), "Failed");
                    EXPECT_EQ(r.LastError(), "Timed out waiting for the server (1 s).");
                }};
    stalled.Drops = true;
    stalled.ReplyTimeoutMs = 1000;
    rows.push_back(stalled);
    rows.push_back({"a name of 255 bytes",
                    [](ScriptedFtpServer& s) { Download(s, "/" + std::string(251, 'n') + ".bin", "long"); },
                    [](RowRun& r) {
                        const std::string name = std::string(251, 'n') + ".bin";
                        Get(r, "/" + name, r.Local(name));
                    },
                    [](RowRun& r) {
                        const std::string path = r.Local(std::string(251, 'n') + ".bin");
                        EXPECT_EQ(ReadFileBytes(path), "long");
                        const mode_t mask = ::umask(0);
                        ::umask(mask);
                        EXPECT_EQ(static_cast<mode_t>(fs::status(path).permissions()) & 0777, 0666 & ~mask);
                    }});
    Row block{"a line \"123 x\" inside a \"220-\" block", [](ScriptedFtpServer&) {}, [](RowRun&) {},
              [](RowRun& r) { EXPECT_EQ(r.H.CountEvents("Connected"), 1); }};
    block.Greeting = "220-Welcome\n123 x\n220 ready";
    rows.push_back(block);
    Row silent{"a reply that never comes",
               [](ScriptedFtpServer& s) { s.Expect("MKD /slow").WaitForHangUp(); },
               [](RowRun& r) { r.H.Worker->AddMakeDir("/slow"); },
               [](RowRun& r) {
                   EXPECT_EQ(r.RowState("MAKE DIR"), "Failed");
                   EXPECT_EQ(r.LastError(), "Timed out waiting for the server (1 s).");
               }};
    silent.Drops = true;
    silent.ReplyTimeoutMs = 1000;
    rows.push_back(silent);
    return rows;
}

void Serve(ScriptedFtpServer& s, const Row& row)
{
    Login(s, row.Greeting);
    Listing(s, row.Passive, "LIST -a", row.RootListing).Expect("PWD", "257 \"/\" is current");
    row.Serve(s);
    if (row.Drops)
        Login(s.AcceptControl(), "220 again").Expect("CWD /", "250 ok");
    s.Expect("CWD /next", "250 ok");
    Listing(s, row.Passive, "LIST -a", "").Expect("PWD", "257 \"/next\" is current").GoSilent();
}

void Connect(EngineHarness& h, int port, const Row& row)
{
    h.Worker->OnConnected = [&h] { h.Events.push_back("Connected"); };
    h.Worker->SetReplyTimeout(row.ReplyTimeoutMs);
    h.Site = SiteRecord::NewSite("127.0.0.1");
    h.Site.PortNumber = port;
    h.Site.LoginName.Assign("u");
    h.Site.LoginPassword.Assign("p");
    h.Site.PassiveMode = row.Passive ? 1 : 0;
    h.Worker->ApplySite(h.Site, h.Proxy);
    h.Worker->AddConnect();
    h.Worker->AddList();
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += "\n  " + line;
    return text;
}

} // namespace

TEST(FtpHostileServer, EveryBehaviourLeavesTheNextTwoCommandsTheirOwnReplies)
{
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.Name);
        ScriptedFtpServer s;
        Serve(s, row);
        s.Start();
        EngineHarness h;
        Connect(h, s.Port(), row);
        ASSERT_TRUE(h.RunUntilIdle(30s));
        const std::string base = h.Platform.Folder.Path() + "/area";
        fs::create_directory(base);
        RowRun run{row, h, s, base};
        row.Act(run);
        ASSERT_TRUE(h.RunUntilIdle(60s))
            << Joined(s.Commands()) << Joined(h.Events) << Joined(h.Worker->Errors());
        row.Check(run);

        const size_t next = h.Rows.size();
        h.Worker->AddChangeDir("/next");
        ASSERT_TRUE(h.RunUntilIdle(30s)) << Joined(s.Commands()) << Joined(h.Events);
        ASSERT_GE(h.Rows.size(), next + 2);
        EXPECT_EQ(h.Rows[next].Kind + " " + h.Rows[next].FinalState, "CH DIR Completed");
        EXPECT_EQ(h.Rows[next + 1].Kind + " " + h.Rows[next + 1].FinalState, "LIST Completed");
        EXPECT_EQ(h.Worker->FCurrentDir, "/next");
        EXPECT_TRUE(s.Failures().empty()) << s.Failures().front();
    }
}
