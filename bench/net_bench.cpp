// Transport benchmark: ReceiveToStream against a plain recv loop over loopback, and ReadLine's
// time per line for a short and a long run of lines. Prints the ratios.
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "net/IdTCPClient.h"
#include "rtl/Streams.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr int64_t kTransferBytes = int64_t{1} << 30;

// Serves one connection on 127.0.0.1 with the given sender, then closes.
class Sender {
public:
    explicit Sender(std::function<void(int)> send)
    {
        FListener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(FListener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(FListener, 1);
        socklen_t len = sizeof addr;
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&addr), &len);
        FPort = ntohs(addr.sin_port);
        FThread = std::thread([this, send] {
            const int fd = ::accept(FListener, nullptr, nullptr);
            send(fd);
            ::close(fd);
        });
    }
    ~Sender()
    {
        FThread.join();
        ::close(FListener);
    }
    int Port() const { return FPort; }

private:
    int FListener = -1;
    int FPort = 0;
    std::thread FThread;
};

void SendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void SendPattern(int fd)
{
    std::string block(1 << 20, 'q');
    for (int64_t sent = 0; sent < kTransferBytes; sent += static_cast<int64_t>(block.size()))
        SendAll(fd, block.data(), block.size());
}

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double PlainRecvLoop()
{
    Sender sender(SendPattern);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(sender.Port()));
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    TMemoryStream stream;
    std::vector<char> buffer(32768);
    const auto start = Clock::now();
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            break;
        stream.Write(buffer.data(), n);
    }
    const double t = Seconds(start);
    ::close(fd);
    if (stream.Size() != kTransferBytes)
        std::fprintf(stderr, "plain loop got %lld bytes\n", static_cast<long long>(stream.Size()));
    return t;
}

double ReceiveToStreamRun()
{
    Sender sender(SendPattern);
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(sender.Port());
    client.Connect();
    TMemoryStream stream;
    const auto start = Clock::now();
    client.ReceiveToStream(stream, -1, true);
    const double t = Seconds(start);
    if (stream.Size() != kTransferBytes)
        std::fprintf(stderr, "ReceiveToStream got %lld bytes\n", static_cast<long long>(stream.Size()));
    return t;
}

struct LineTimes {
    double Wall = 1e30; // seconds per line, elapsed
    double Cpu = 1e30;  // seconds per line, on the reading thread
};

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Reads `lines` short lines. The sender repeats one 64 KiB block of lines, so that its side
// costs the same per line in both runs.
LineTimes ReadLinesRun(int lines)
{
    constexpr int kLinesPerBlock = 4000;
    std::string block;
    for (int i = 0; i < kLinesPerBlock; ++i)
        block += "200 line " + std::to_string(10000 + i) + "\r\n";
    Sender sender([&block, lines](int fd) {
        for (int sent = 0; sent < lines; sent += kLinesPerBlock)
            SendAll(fd, block.data(), block.size());
    });
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(sender.Port());
    client.Connect();
    size_t total = 0;
    const double cpu0 = ThreadCpuSeconds();
    const auto start = Clock::now();
    for (int i = 0; i < lines; ++i)
        total += client.ReadLine().size();
    LineTimes t;
    t.Wall = Seconds(start) / lines;
    t.Cpu = (ThreadCpuSeconds() - cpu0) / lines;
    if (total == 0)
        std::fprintf(stderr, "no lines read\n");
    client.Disconnect();
    return t;
}

LineTimes BestLines(int runs, int lines)
{
    LineTimes best;
    for (int i = 0; i < runs; ++i) {
        const LineTimes t = ReadLinesRun(lines);
        best.Wall = std::min(best.Wall, t.Wall);
        best.Cpu = std::min(best.Cpu, t.Cpu);
    }
    return best;
}

double Best(int runs, const std::function<double()>& run)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, run());
    return best;
}
} // namespace

int main()
{
    const double plain = Best(3, PlainRecvLoop);
    const double ours = Best(3, ReceiveToStreamRun);
    const double gib = static_cast<double>(kTransferBytes) / (1 << 30);
    std::printf(
        "1 GiB over loopback: plain recv loop %.3f s (%.2f GiB/s), ReceiveToStream %.3f s (%.2f GiB/s)\n",
        plain, gib / plain, ours, gib / ours);
    std::printf("ReceiveToStream throughput ratio (plain time / ours): %.3f (target >= 0.9)\n", plain / ours);

    const LineTimes shortRun = BestLines(15, 10000);
    const LineTimes longRun = BestLines(5, 1000000);
    std::printf(
        "ReadLine per line, reading thread's CPU time: 10,000 lines %.1f ns, 1,000,000 lines %.1f ns\n",
        shortRun.Cpu * 1e9, longRun.Cpu * 1e9);
    std::printf(
        "ReadLine per line, elapsed (includes waits for the sending thread): %.1f ns, %.1f ns (ratio %.3f)\n",
        shortRun.Wall * 1e9, longRun.Wall * 1e9, longRun.Wall / shortRun.Wall);
    std::printf("ReadLine per-line time ratio (1,000,000 / 10,000, CPU time): %.3f (target <= 1.2)\n",
                longRun.Cpu / shortRun.Cpu);
    return 0;
}
