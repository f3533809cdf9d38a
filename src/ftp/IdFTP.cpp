#include "ftp/IdFTP.h"

#include "net/TlsContext.h"

TIdFTP::TIdFTP()
{
    SetPort(21);
}

TIdFTP::~TIdFTP()
{
    FreeDataChannel();
}

void TIdFTP::SetTransferType(TIdFTPTransferType value)
{
    // A change during a transfer is dropped, not queued: the running transfer keeps its type.
    if (value == FTransferType || FDataChannel)
        return;
    FTransferType = value;
    if (IsConnected())
        SendTypeCommand();
}

TIdFTPListItems& TIdFTP::ParsedListing()
{
    if (!FParsedListing) {
        FParsedListing = std::make_unique<TIdFTPListItems>();
        BuildParsedListing(FListingLines, *FParsedListing);
    }
    return *FParsedListing;
}

void TIdFTP::WriteLine(const std::string& text)
{
    // Names come from servers and users alike; a line break inside one would start a second command.
    if (text.find_first_of("\r\n") != std::string::npos)
        throw EIdFTPCommandLineError("Refused to send a command that holds a line break.");
    TIdTCPClient::WriteLine(text);
}

void TIdFTP::ConnectAndLogin(bool autoLogin, int timeoutMs)
{
    FShutDown = false;
    try {
        const std::string host = Host();
        const int port = Port();
        if (FProxySettings.ProxyType != fpcmNone && !FProxySettings.Host.empty()) {
            SetHost(FProxySettings.Host);
            SetPort(FProxySettings.Port);
        }
        PrepareTls(Host(), Port());
        try {
            Connect(timeoutMs);
        } catch (...) {
            SetHost(host);
            SetPort(port);
            throw;
        }
        SetHost(host);
        SetPort(port);
        ReadReply({220});
        WelcomeReply().Assign(LastReply());
        NegotiateTls();
        if (!autoLogin)
            return;
        SendLogin();
        ProtectData();
        SendTypeCommand();
        const int16_t code = SendCommand("SYST", {200, 215, 500});
        if (code == 500)
            FSystemDescription = "Unknown";
        else
            FSystemDescription = LastReply().Text.Count() > 0 ? LastReply().Text[0] : std::string();
        DoStatus(ftpReady, RSFTPStatusReady);
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TIdFTP::LoginExchange(const std::string& name, const std::string& password)
{
    if (SendCommand("USER " + name, {230, 331}) == 331)
        SendCommand("PASS " + password, {230});
}

void TIdFTP::SendLogin()
{
    if (FProxySettings.ProxyType == fpcmUserSite) {
        if (!FProxySettings.UserName.empty())
            LoginExchange(FProxySettings.UserName, FProxySettings.Password);
        LoginExchange(Username + "@" + Host(), Password);
    } else {
        LoginExchange(Username, Password);
    }
    FLoginReply.Assign(LastReply());
}

void TIdFTP::SendTypeCommand()
{
    SendCommand(FTransferType == ftASCII ? "TYPE A" : "TYPE I", {200});
}

void TIdFTP::ShutdownConnections()
{
    FShutDown = true;
    ShutdownSocket();
    std::lock_guard<std::mutex> guard(FDataChannelLock);
    if (FDataChannel)
        FDataChannel->ShutdownSocket();
}

int16_t TIdFTP::ReadReply(const std::vector<int16_t>& allowed)
{
    ReadTimeout = FReplyWaitMs > 0 ? FReplyWaitMs : ReplyTimeoutMs;
    int16_t code = 0;
    try {
        code = TIdTCPClient::ReadReply({});
    } catch (const EIdReadTimeout&) {
        DropControl();
        throw EIdReadTimeout(TimeoutText());
    } catch (...) {
        DropControl();
        throw;
    }
    if (code < 100 || code > 599) {
        DropControl();
        throw EIdFTPReplyFormatError();
    }
    NoteReply(code);
    return CheckReplyCode(code, allowed);
}

void TIdFTP::DropControl()
{
    try {
        if (IsConnected())
            Disconnect();
    } catch (const std::exception&) {
        // Closing is all that is left to do; the failure that led here is the one to report.
    }
}

std::string TIdFTP::TimeoutText() const
{
    return IdFormat(RSFTPReplyTimeout, (ReplyTimeoutMs + 999) / 1000);
}

void TIdFTP::ThrowIfShutDown()
{
    if (FShutDown)
        throw EIdNotConnected();
}
