// Times 1 GiB downloads (to /dev/null and to a file) and uploads through the FTP client, passive
// and active, against lftp and curl on the same vsftpd on loopback, and prints our throughput over
// each of theirs. Files live in temporary folders (run-ftp.sh puts them on a tmpfs) that are
// removed at the end.
//
// FERRYSTAR_BENCH_BLOCKS="32768,1048576" times our client once per data block size, side by side;
// FERRYSTAR_BENCH_ROUNDS sets the rounds (default 3).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchTransfers.h"
#include "ftp/IdFTP.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace bench;

enum class Kind { ToNull, ToFile, Upload };

// One contender in a comparison: a name and a run that moves the file once and checks it.
struct Contender {
    std::string Name;
    std::function<void()> Transfer;
    double Best = 0;
};

std::vector<int> BlockSizes()
{
    std::vector<int> sizes;
    const char* text = std::getenv("FERRYSTAR_BENCH_BLOCKS");
    std::stringstream list(text != nullptr ? text : "");
    for (std::string item; std::getline(list, item, ',');)
        if (!item.empty())
            sizes.push_back(std::stoi(item));
    if (sizes.empty())
        sizes.push_back(TIdFTP().DataBlockSize);
    return sizes;
}

struct Bench {
    VsftpdServer Server;
    TempDir Local;
    std::string Source = Local.Path() + "/source.bin";
    std::vector<int> Blocks = BlockSizes();
    int RoundCount = Rounds();

    std::string Output(const std::string& who, Kind kind) const
    {
        if (kind == Kind::ToNull)
            return "/dev/null";
        return kind == Kind::Upload ? Server.Root() + "/up-" + who + ".bin"
                                    : Local.Path() + "/" + who + ".bin";
    }

    std::string CurlCommand(Kind kind, bool passive) const
    {
        const std::string url = "ftp://127.0.0.1:" + std::to_string(Server.Port()) + "/";
        const std::string head = "curl -s -S --user '" + Server.User() + ":" + Server.Password() + "'" +
                                 (passive ? "" : " --ftp-port 127.0.0.1");
        if (kind == Kind::Upload)
            return head + " -T " + Source + " " + url + "up-curl.bin";
        return head + " -o " + Output("curl", kind) + " " + url + "big.bin";
    }

    std::string LftpCommand(Kind kind, bool passive) const
    {
        const std::string transfer = kind == Kind::Upload ? "put " + Source + " -o up-lftp.bin"
                                                          : "get big.bin -o " + Output("lftp", kind);
        return "lftp -u '" + Server.User() + "," + Server.Password() + "' -p " +
               std::to_string(Server.Port()) +
               " -e 'set cmd:fail-exit yes; set net:max-retries 1; set xfer:clobber on; set "
               "ftp:passive-mode " +
               (passive ? "on" : "off") + "; set ftp:port-ipv4 127.0.0.1; " + transfer + "; bye' 127.0.0.1";
    }

    std::vector<Contender> Contenders(Kind kind, bool passive, std::vector<std::unique_ptr<TIdFTP>>& sessions)
    {
        std::vector<Contender> all;
        for (int block : Blocks) {
            auto& ftp = *sessions.emplace_back(Connect(passive, block));
            const std::string name =
                Blocks.size() > 1 ? "ours/" + std::to_string(block / 1024) + "K" : "ours";
            all.push_back({name, [this, &ftp, kind] { OurTransfer(ftp, kind); }});
        }
        const std::string curl = CurlCommand(kind, passive);
        const std::string lftp = LftpCommand(kind, passive);
        all.push_back({"lftp", [this, lftp, kind] { Check(Output("lftp", kind), [&] { Run(lftp); }); }});
        all.push_back({"curl", [this, curl, kind] { Check(Output("curl", kind), [&] { Run(curl); }); }});
        return all;
    }

    void OurTransfer(TIdFTP& ftp, Kind kind)
    {
        if (kind == Kind::ToNull) {
            TNullStream sink;
            ftp.DownloadToStream("big.bin", sink);
            if (sink.Position() != kFileSize) {
                std::fprintf(stderr, "our download to /dev/null gave a wrong size\n");
                std::exit(1);
            }
            return;
        }
        const std::string output = Output("ours", kind);
        Check(output, [&] {
            if (kind == Kind::Upload)
                ftp.UploadFromFile(Source, "up-ours.bin");
            else
                ftp.DownloadToFile("big.bin", output, false);
        });
    }

    // Runs one transfer into output, then checks and removes what it wrote.
    static void Check(const std::string& output, const std::function<void()>& run)
    {
        run();
        if (output == "/dev/null")
            return;
        CheckSize(output);
        fs::remove(output);
    }

    std::unique_ptr<TIdFTP> Connect(bool passive, int block)
    {
        auto ftp = std::make_unique<TIdFTP>();
        ftp->SetHost("127.0.0.1");
        ftp->SetPort(Server.Port());
        ftp->Username = Server.User();
        ftp->Password = Server.Password();
        ftp->Passive = passive;
        ftp->DataBlockSize = block;
        ftp->ConnectAndLogin();
        return ftp;
    }

    // The contenders take turns in every round, so that the machine's drift meets all alike; the
    // best round of each counts. Dirty pages are written out before each run, outside its time.
    void Compare(const char* what, Kind kind, bool passive)
    {
        std::vector<std::unique_ptr<TIdFTP>> sessions;
        std::vector<Contender> all = Contenders(kind, passive, sessions);
        for (int round = 0; round < RoundCount; ++round) {
            for (Contender& c : all) {
                sync();
                const auto start = Clock::now();
                c.Transfer();
                const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
                c.Best = std::max(c.Best, static_cast<double>(kFileSize) / (1024.0 * 1024.0) / seconds);
            }
        }
        Print(what, passive, all);
    }

    void Print(const char* what, bool passive, const std::vector<Contender>& all) const
    {
        const double lftp = all[all.size() - 2].Best;
        const double curl = all.back().Best;
        std::printf("%-20s %-7s lftp %7.0f  curl %7.0f MiB/s\n", what, passive ? "passive" : "active", lftp,
                    curl);
        for (size_t i = 0; i + 2 < all.size(); ++i)
            std::printf("  %-12s %7.0f MiB/s   x lftp %.2f   x curl %.2f\n", all[i].Name.c_str(), all[i].Best,
                        all[i].Best / lftp, all[i].Best / curl);
        std::fflush(stdout);
    }
};

} // namespace

int main()
{
    Bench bench;
    WriteBigFile(bench.Source);
    fs::copy_file(bench.Source, bench.Server.Root() + "/big.bin");
    std::printf("1 GiB transfers on loopback, best of %d interleaved rounds; files in %s\n", bench.RoundCount,
                fs::temp_directory_path().c_str());
    for (const bool passive : {true, false}) {
        bench.Compare("download to null", Kind::ToNull, passive);
        bench.Compare("download to file", Kind::ToFile, passive);
        bench.Compare("upload", Kind::Upload, passive);
    }
    return 0;
}
