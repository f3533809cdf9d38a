// Times 1 GiB downloads and uploads through the FTP client, passive and active, against curl on
// the same vsftpd on loopback, and prints our throughput over curl's. Files live in temporary
// folders that are removed at the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "ftp/IdFTP.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int64_t kFileSize = int64_t{1} << 30;
constexpr int kRounds = 3;

void WriteBigFile(const std::string& path)
{
    std::vector<char> block(1 << 20);
    uint32_t x = 12345;
    for (char& c : block) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    std::ofstream out(path, std::ios::binary);
    for (int64_t written = 0; written < kFileSize; written += static_cast<int64_t>(block.size())) {
        block[0] = static_cast<char>(written >> 20); // no two blocks alike
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

// One timed run in MiB/s. The output of the previous run is removed and dirty pages are written
// out first, so that no run pays for another's writeback.
double Timed(const std::string& output, const std::function<void()>& run)
{
    std::error_code ec;
    fs::remove(output, ec);
    sync();
    const auto start = Clock::now();
    run();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (static_cast<int64_t>(fs::file_size(output, ec)) != kFileSize || ec) {
        std::fprintf(stderr, "transfer to %s gave a wrong size\n", output.c_str());
        std::exit(1);
    }
    return static_cast<double>(kFileSize) / (1024.0 * 1024.0) / seconds;
}

void Run(const std::string& command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

struct Bench {
    VsftpdServer Server;
    TempDir Local;
    std::string Source = Local.Path() + "/source.bin";
    std::string Url = "ftp://127.0.0.1:" + std::to_string(Server.Port()) + "/";
    std::string Auth = "--user '" + Server.User() + ":" + Server.Password() + "'";

    // Ours and curl's runs alternate, so that both meet the same state of the machine; the best
    // of each counts.
    void Compare(const char* what, bool passive, bool upload)
    {
        TIdFTP ftp;
        Connect(ftp, passive);
        const std::string ourOutput = upload ? Server.Root() + "/up-ours.bin" : Local.Path() + "/ours.bin";
        const std::string curlOutput = upload ? Server.Root() + "/up-curl.bin" : Local.Path() + "/curl.bin";
        const std::string curl = "curl -s -S " + Auth + (passive ? "" : " --ftp-port 127.0.0.1") +
                                 (upload ? " -T " + Source + " " + Url + "up-curl.bin"
                                         : " -o " + curlOutput + " " + Url + "big.bin");
        double ours = 0;
        double theirs = 0;
        for (int round = 0; round < kRounds; ++round) {
            ours = std::max(ours, Timed(ourOutput, [&] {
                                if (upload)
                                    ftp.UploadFromFile(Source, "up-ours.bin");
                                else
                                    ftp.DownloadToFile("big.bin", ourOutput, false);
                            }));
            theirs = std::max(theirs, Timed(curlOutput, [&] { Run(curl); }));
        }
        const double ratio = ours / theirs;
        std::printf("%-18s ours %8.1f MiB/s   curl %8.1f MiB/s   ratio %.2f %s\n", what, ours, theirs, ratio,
                    ratio >= 0.9 ? "(ok, target >= 0.9)" : "(BELOW target 0.9)");
        std::fflush(stdout);
        std::error_code ec;
        fs::remove(ourOutput, ec);
        fs::remove(curlOutput, ec);
    }
    void Connect(TIdFTP& ftp, bool passive)
    {
        ftp.SetHost("127.0.0.1");
        ftp.SetPort(Server.Port());
        ftp.Username = Server.User();
        ftp.Password = Server.Password();
        ftp.Passive = passive;
        ftp.ConnectAndLogin();
    }
};

} // namespace

int main()
{
    Bench bench;
    WriteBigFile(bench.Source);
    fs::copy_file(bench.Source, bench.Server.Root() + "/big.bin");
    std::printf("1 GiB transfers on loopback, best of %d alternating rounds each\n", kRounds);
    bench.Compare("download passive", true, false);
    bench.Compare("upload passive", true, true);
    bench.Compare("download active", false, false);
    bench.Compare("upload active", false, true);
    return 0;
}
