// Data connections: PASV and PORT, the order of command, connect and replies, and aborts.
#include <algorithm>
#include <chrono>
#include <vector>

#include "ftp/AsciiTransfer.h"
#include "ftp/IdFTP.h"

namespace {

// How often the wait for an active-mode data connection looks at the clock and for a shutdown.
constexpr int kAcceptSliceMs = 100;
// How long a failed transfer waits for the server's last word on it before giving up the session.
constexpr int kCatchUpWaitMs = 10000;
// Replies read while catching up: the command's, a preliminary one and the final one.
constexpr int kCatchUpReplies = 3;

// Numbers too long for any octet stay above 255 instead of wrapping.
int64_t PassiveNumber(const std::string& piece)
{
    const bool negative = !piece.empty() && piece[0] == '-';
    size_t i = !piece.empty() && (piece[0] == '+' || negative) ? 1 : 0;
    if (i == piece.size())
        throw EConvertError("'" + piece + "' is not a valid integer value");
    int64_t value = 0;
    for (; i < piece.size(); ++i) {
        if (piece[i] < '0' || piece[i] > '9')
            throw EConvertError("'" + piece + "' is not a valid integer value");
        value = std::min<int64_t>(value * 10 + (piece[i] - '0'), 1000000);
    }
    return negative ? -value : value;
}

std::string PassiveNumbersText(const std::string& line)
{
    const size_t open = line.find('(');
    const size_t close = line.find(')');
    if (open != std::string::npos && close != std::string::npos)
        return close > open ? line.substr(open + 1, close - open - 1) : std::string();
    const size_t space = line.rfind(' ');
    return space == std::string::npos ? line : line.substr(space + 1);
}

} // namespace

void ParsePassiveReply(const std::string& line, std::string& host, int& port)
{
    const std::string text = PassiveNumbersText(IdTrim(line));
    std::vector<std::string> pieces;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        pieces.push_back(text.substr(from, comma == std::string::npos ? comma : comma - from));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    pieces.resize(std::max<size_t>(pieces.size(), 6));
    int64_t numbers[6];
    for (int i = 0; i < 6; ++i)
        numbers[i] = PassiveNumber(pieces[static_cast<size_t>(i)]);
    for (int64_t number : numbers) {
        if (number < 0 || number > 255)
            throw EIdFTPPassiveAddressError("Invalid address in the passive reply: " + text);
    }
    host = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]) +
           "." + std::to_string(numbers[3]);
    port = static_cast<int>(numbers[4] * 256 + numbers[5]);
    if (port == 0)
        throw EIdFTPPassiveAddressError("Invalid port in the passive reply: " + text);
}

void TIdFTP::RequestPassive(std::string& host, int& port)
{
    SendCommand("PASV", {227});
    const std::string line = LastReply().Text.Count() > 0 ? LastReply().Text[0] : std::string();
    ParsePassiveReply(line, host, port);
}

void TIdFTP::AnnouncePort(const TIdSocketHandle& binding)
{
    std::string address = binding.IP;
    for (char& c : address) {
        if (c == '.')
            c = ',';
    }
    SendCommand("PORT " + address + "," + std::to_string(binding.Port / 256) + "," +
                    std::to_string(binding.Port % 256),
                {200});
}

// A quarter of a block: the reader wakes a few times per block instead of once per packet.
int TIdFTP::ReceiveLowWater() const
{
    return std::min(DataBlockSize / 4, 256 << 10);
}

void TIdFTP::PrepareDataChannel()
{
    FDataChannel->SendBufferSize = DataBlockSize;
    FDataChannel->RecvBufferSize = DataBlockSize;
    FDataChannel->OnWork = OnWork;
    FDataChannel->OnWorkBegin = OnWorkBegin;
    FDataChannel->OnWorkEnd = OnWorkEnd;
    FDataChannel->ReadTimeout = ReplyTimeoutMs;
}

void TIdFTP::SetDataChannel(TIdTCPConnection* channel)
{
    std::unique_ptr<TIdTCPConnection> owned(channel);
    std::lock_guard<std::mutex> guard(FDataChannelLock);
    ThrowIfShutDown();
    FDataChannel = std::move(owned);
}

void TIdFTP::FreeDataChannel()
{
    std::unique_ptr<TIdTCPConnection> channel;
    {
        std::lock_guard<std::mutex> guard(FDataChannelLock);
        channel = std::move(FDataChannel);
    }
}

std::string TIdFTP::ControlPeerIP() const
{
    auto* handler = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
    if (handler == nullptr || handler->Binding() == nullptr || handler->Binding()->PeerIP().empty())
        throw EIdNotConnected();
    return handler->Binding()->PeerIP();
}

std::string TIdFTP::ControlLocalIP() const
{
    auto* handler = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
    if (handler == nullptr || handler->Binding() == nullptr)
        throw EIdNotConnected();
    return handler->Binding()->IP;
}

TIdTCPClient& TIdFTP::OpenPassiveChannel()
{
    std::string host;
    int port = 0;
    RequestDataAddress(host, port);
    // The host the reply names is ignored on purpose: a server must not be able to point the
    // client at a third machine. Data goes to the machine the control connection reaches.
    const std::string peer = ControlPeerIP();
    auto* channel = new TIdTCPClient();
    SetDataChannel(channel);
    if (TIdIOHandlerSocket* handler = NewDataHandler())
        channel->SetIOHandler(handler, true);
    PrepareDataChannel();
    channel->SetHost(peer);
    channel->SetPort(port);
    return *channel;
}

TIdSimpleServer& TIdFTP::OpenActiveListener()
{
    const std::string local = ControlLocalIP();
    auto* server = new TIdSimpleServer();
    SetDataChannel(server);
    if (FDataProtected)
        server->HandlerFactory = [this] { return NewDataHandler(); };
    PrepareDataChannel();
    server->BoundIP = local;
    server->BoundPort = 0;
    server->StartListening();
    AnnounceDataAddress(*server->SocketBinding());
    return *server;
}

void TIdFTP::AcceptDataConnection(TIdSimpleServer& server)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ReplyTimeoutMs);
    // Anyone may knock on the listener; only the server's own connection is taken, and the
    // wait goes on after a stranger.
    server.AcceptOnlyFrom = ControlPeerIP();
    for (;;) {
        ThrowIfShutDown();
        if (server.SocketBinding()->WaitReadable(kAcceptSliceMs) && server.WaitForConnection())
            return;
        if (Clock::now() >= deadline) {
            DropControl();
            throw EIdReadTimeout(TimeoutText());
        }
    }
}

void TIdFTP::ReadFinalReply()
{
    const int16_t code = ReadReply({225, 226, 250, 426, 450});
    if (code == 426 || code == 450) {
        if (!FAbortRequested) {
            // Nobody asked for this end: the transfer failed.
            try {
                RaiseReplyError();
            } catch (const EIdProtocolReplyError&) {
                SkipClosingReply();
                throw;
            }
        }
        ReadReply({226, 225});
        DoStatus(ftpAborted, RSFTPStatusAbortTransfer);
    } else if (FAbortRequested) {
        SkipLateAbortReply();
    }
}

// A server that still adds a closing reply to its 426 sends both at once.
void TIdFTP::SkipClosingReply()
{
    FReplyWaitMs = kCatchUpWaitMs;
    try {
        ProbeConnection(false);
        if (InputBuffer().Size() > 0)
            ReadReply({});
    } catch (const std::exception&) {
        // A closing reply that breaks the session has closed it; the 426 is what to report.
    }
    FReplyWaitMs = 0;
}

void TIdFTP::SkipLateAbortReply()
{
    // A server that ended the transfer on its own (an upload cut short looks complete to it)
    // answers the ABOR with a reply of its own after the transfer's. A NOOP marks where the
    // replies to the abort end, so that none is left for the next command.
    WriteLine("NOOP");
    for (int reply = 0; reply < 3; ++reply) {
        const int16_t code = ReadReply({});
        if (code != 225 && code != 226)
            return;
    }
}

void TIdFTP::WriteTransferCommand(const std::string& command)
{
    SendPendingRestart(command);
    FPendingReply = prCommand;
    WriteLine(command);
}

void TIdFTP::NoteReply(int16_t code)
{
    if (FPendingReply == prCommand)
        FPendingReply = code < 200 ? prFinal : prNone;
    else if (FPendingReply == prFinal && code >= 200)
        FPendingReply = prNone;
}

// After a failed transfer the server still owes its replies to the transfer command; read
// them now, within a short bound that a shutdown cuts shorter, so that the next command
// gets its own reply. A session whose replies do not come is dropped instead.
void TIdFTP::BringBackInStep()
{
    if (FPendingReply != prNone && IsConnected()) {
        FReplyWaitMs = std::min(ReplyTimeoutMs > 0 ? ReplyTimeoutMs : kCatchUpWaitMs, kCatchUpWaitMs);
        try {
            for (int i = 0; i < kCatchUpReplies && FPendingReply != prNone && !FShutDown; ++i)
                ReadReply({});
        } catch (const std::exception&) {
            // ReadReply has closed the control connection.
        }
        if (FPendingReply != prNone || FShutDown)
            DropControl();
        FReplyWaitMs = 0;
    }
    FPendingReply = prNone;
}

void TIdFTP::EndTransfer()
{
    FreeDataChannel();
    DoStatus(ftpReady, RSFTPStatusDoneTransfer);
}

template <typename Body> void TIdFTP::RunTransfer(Body body)
{
    DoStatus(ftpTransfer, RSFTPStatusStartTransfer);
    FAbortRequested = false;
    FPendingReply = prNone;
    FAnnouncedSize = -1;
    try {
        body();
    } catch (const EIdReadTimeout&) {
        // A server silent on the data connection is not going to answer on the other one.
        EndTransfer();
        DropControl();
        throw EIdReadTimeout(TimeoutText());
    } catch (const EIdFTPListingTooLarge&) {
        EndTransfer();
        DropControl();
        throw;
    } catch (const EIdSocketError& e) {
        EndTransfer();
        BringBackInStep();
        if (IsConnected())
            throw EIdFTPDataConnectionError(e.Message(), e.SocketErrorCode);
        throw;
    } catch (...) {
        EndTransfer();
        BringBackInStep();
        throw;
    }
    EndTransfer();
    ReadFinalReply();
}

void TIdFTP::ReceiveData(const std::string& command, TStream& stream)
{
    RunTransfer([&] {
        if (Passive)
            ReceivePassive(command, stream);
        else
            ReceiveActive(command, stream);
    });
}

void TIdFTP::SendData(const std::string& command, TStream& stream)
{
    RunTransfer([&] {
        if (Passive)
            SendPassive(command, stream);
        else
            SendActive(command, stream);
    });
}

void TIdFTP::ReceivePassive(const std::string& command, TStream& stream)
{
    TIdTCPClient& channel = OpenPassiveChannel();
    channel.Connect(-1);
    WriteTransferCommand(command);
    ReadReply({125, 150, 154});
    NoteAnnouncedSize();
    StartDataTls(channel);
    channel.SetReceiveLowWater(ReceiveLowWater());
    channel.ReceiveToStream(stream, -1, true);
    channel.Disconnect();
}

void TIdFTP::ReceiveActive(const std::string& command, TStream& stream)
{
    TIdSimpleServer& server = OpenActiveListener();
    WriteTransferCommand(command);
    ReadReply({125, 150, 154});
    NoteAnnouncedSize();
    AcceptDataConnection(server);
    StartDataTls(server);
    server.SetReceiveLowWater(ReceiveLowWater());
    server.ReceiveToStream(stream, -1, true);
}

void TIdFTP::SendPassive(const std::string& command, TStream& stream)
{
    TIdTCPClient& channel = OpenPassiveChannel();
    WriteTransferCommand(command);
    channel.Connect(-1);
    ReadReply({110, 125, 150});
    StartDataTls(channel);
    SendStreamTolerant(channel, stream, false);
    channel.Disconnect();
}

void TIdFTP::SendActive(const std::string& command, TStream& stream)
{
    TIdSimpleServer& server = OpenActiveListener();
    WriteTransferCommand(command);
    ReadReply({125, 150});
    AcceptDataConnection(server);
    StartDataTls(server);
    SendStreamTolerant(server, stream, true);
}

void TIdFTP::SendStreamTolerant(TIdTCPConnection& channel, TStream& stream, bool rewind)
{
    try {
        if (FTransferType == ftASCII)
            SendAsciiStream(channel, stream, rewind);
        else
            channel.SendStream(stream, rewind);
    } catch (const EIdException& e) {
        // After our own abort the send fails by design; the transfer goes on to read the
        // server's replies so that the control connection stays in step.
        const auto* socketError = dynamic_cast<const EIdSocketError*>(&e);
        const bool notASocket = socketError != nullptr && socketError->SocketErrorCode == Id_WSAENOTSOCK;
        if (!FAbortRequested && !(Passive && notASocket))
            throw;
    }
}

void TIdFTP::AbortTransfer()
{
    FAbortRequested = true;
    if (IsConnected())
        WriteLine("ABOR");
    CloseDataChannel();
}

void TIdFTP::CloseDataChannel()
{
    if (FDataChannel)
        FDataChannel->CloseSocketQuietly();
}

void TIdFTP::DoAfterGet(TStream& stream)
{
    if (OnAfterGet)
        OnAfterGet(this, stream);
}
