// Times 1 GiB downloads (to /dev/null and to a file) and uploads over explicit FTP over TLS,
// passive, against curl's explicit FTPS (--ssl-reqd) on the same vsftpd on loopback, which
// requires TLS and the session's reuse on every data connection. Prints our throughput over
// curl's. FERRYSTAR_BENCH_ROUNDS sets the rounds (default 3).
#include <chrono>
#include <functional>
#include <memory>

#include "BenchTransfers.h"
#include "ftp/IdFTP.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"
#include "support/VsftpdServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace bench;

enum class Kind { ToNull, ToFile, Upload };

struct Contender {
    std::string Name;
    std::function<void()> Transfer;
    double Best = 0;
};

VsftpdOptions TlsOptions(const TestCertificate& certificate)
{
    VsftpdOptions options;
    options.TlsCertificate = certificate.CertPath();
    options.TlsKey = certificate.KeyPath();
    // The per-line SSL diagnostics of the tests are no part of a timing.
    options.ExtraConfig = {"debug_ssl=NO", "xferlog_enable=NO"};
    return options;
}

struct Bench {
    TempDir Keys;
    TestCertificate Certificate{Keys.Path(), "127.0.0.1"};
    VsftpdServer Server{TlsOptions(Certificate)};
    TempDir Local;
    std::string Source = Local.Path() + "/source.bin";
    int RoundCount = Rounds();

    std::string Output(const std::string& who, Kind kind) const
    {
        if (kind == Kind::ToNull)
            return "/dev/null";
        return kind == Kind::Upload ? Server.Root() + "/up-" + who + ".bin"
                                    : Local.Path() + "/" + who + ".bin";
    }

    std::string CurlCommand(Kind kind) const
    {
        const std::string url = "ftp://127.0.0.1:" + std::to_string(Server.Port()) + "/";
        const std::string head =
            "curl -s -S --ssl-reqd -k --user '" + Server.User() + ":" + Server.Password() + "'";
        if (kind == Kind::Upload)
            return head + " -T " + Source + " " + url + "up-curl.bin";
        return head + " -o " + Output("curl", kind) + " " + url + "big.bin";
    }

    std::unique_ptr<TIdFTP> Connect()
    {
        auto ftp = std::make_unique<TIdFTP>();
        ftp->SetHost("127.0.0.1");
        ftp->SetPort(Server.Port());
        ftp->Username = Server.User();
        ftp->Password = Server.Password();
        ftp->Passive = true;
        ftp->TlsMode = TTlsMode::Require;
        ftp->TrustStorePath = Keys.Path() + "/trusted-certs";
        TrustCertificate(ftp->TrustStorePath, "127.0.0.1", Server.Port(), Certificate.Fingerprint());
        ftp->ConnectAndLogin();
        return ftp;
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
        if (kind == Kind::Upload)
            ftp.UploadFromFile(Source, "up-ours.bin");
        else
            ftp.DownloadToFile("big.bin", output, false);
        CheckSize(output);
        fs::remove(output);
    }

    void CurlTransfer(Kind kind)
    {
        Run(CurlCommand(kind));
        if (kind != Kind::ToNull) {
            CheckSize(Output("curl", kind));
            fs::remove(Output("curl", kind));
        }
    }

    // The contenders take turns in every round; the best round of each counts.
    void Compare(const char* what, Kind kind)
    {
        std::unique_ptr<TIdFTP> ftp = Connect();
        std::vector<Contender> all = {{"ours", [&] { OurTransfer(*ftp, kind); }},
                                      {"curl", [&] { CurlTransfer(kind); }}};
        for (int round = 0; round < RoundCount; ++round) {
            for (Contender& c : all) {
                sync();
                const auto start = Clock::now();
                c.Transfer();
                const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
                c.Best = std::max(c.Best, static_cast<double>(kFileSize) / (1024.0 * 1024.0) / seconds);
            }
        }
        std::printf("%-18s curl %6.0f MiB/s  ours %6.0f MiB/s  x curl %.2f  (%s, %d of %d data connections "
                    "resumed)\n",
                    what, all[1].Best, all[0].Best, all[0].Best / all[1].Best, ftp->SessionSecurity().c_str(),
                    ftp->ResumedDataConnections(), ftp->SecuredDataConnections());
        std::fflush(stdout);
    }
};

} // namespace

int main()
{
    Bench bench;
    WriteBigFile(bench.Source);
    fs::copy_file(bench.Source, bench.Server.Root() + "/big.bin");
    std::printf(
        "1 GiB over explicit FTPS, passive, on loopback; best of %d interleaved rounds; files in %s\n",
        bench.RoundCount, fs::temp_directory_path().c_str());
    // FERRYSTAR_BENCH_ONLY=upload (or download) times one direction only.
    const char* only = std::getenv("FERRYSTAR_BENCH_ONLY");
    const std::string which = only != nullptr ? only : "";
    if (which != "upload") {
        bench.Compare("download to null", Kind::ToNull);
        bench.Compare("download to file", Kind::ToFile);
    }
    if (which != "download")
        bench.Compare("upload", Kind::Upload);
    return 0;
}
