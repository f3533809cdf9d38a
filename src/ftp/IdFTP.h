#pragma once
// The FTP client: one control connection, logins directly or through a proxy, data connections
// in passive and active mode, transfers, listings and the file and folder commands.
//
// Threads: one thread drives the client. Another thread may call ShutdownConnections() at any
// time to end whatever the driving thread is blocked on (a reply, a data transfer, a connect or
// the wait for an active-mode data connection); the driving thread then gets an exception and
// cleans up with Disconnect() as usual.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ftp/IdFTPCommon.h"
#include "ftp/IdFTPList.h"
#include "net/IdSimpleServer.h"
#include "net/IdTCPClient.h"
#include "net/TlsTypes.h"
#include "rtl/StringList.h"

class TTlsContext;

class TIdFtpProxySettings {
public:
    TIdFtpProxyType ProxyType = fpcmNone;
    std::string Host;
    std::string UserName;
    std::string Password;
    int32_t Port = 0;

    void Assign(const TIdFtpProxySettings& source) { *this = source; }
};

using TIdFTPAfterGetEvent = std::function<void(TIdBaseComponent* Sender, TStream& AStream)>;

class TIdFTP : public TIdTCPClient {
public:
    TIdFTP();
    ~TIdFTP() override;

    std::string Username;
    std::string Password;
    bool Passive = false;
    TIdFTPAfterGetEvent OnAfterGet;
    // How long a reply, data on a data connection, or the server's active-mode data connection
    // may keep the client waiting; then the session is dropped.
    int ReplyTimeoutMs = 60000;
    // How much file data one receive or send on a data connection moves at most: large blocks
    // keep the system calls per byte few, for a disk as fast as the network.
    int DataBlockSize = 1 << 20;

    // ---- explicit TLS (AUTH TLS, then PBSZ 0 / PROT P after the login)
    // What the next connect asks for. PlainOnly sends exactly the plain login.
    TTlsMode TlsMode = TTlsMode::PlainOnly;
    // Asked on the driving thread when the server's certificate fails verification and is not
    // trusted for this host and port; without a handler the answer is Cancel.
    std::function<TTlsTrustDecision(const TTlsCertificateInfo&)> OnCertificate;
    // The trusted-certificates file; empty: "Always trust" lasts for this client only.
    std::string TrustStorePath;
    // The newest TLS version offered, as OpenSSL numbers it (0x0303 for TLS 1.2); 0: the newest.
    int TlsMaxVersion = 0;
    // "TLS 1.3" while the control connection is encrypted, empty in plain.
    std::string SessionSecurity() const;
    // The control connection's cipher, e.g. "TLS_AES_256_GCM_SHA384"; empty in plain.
    std::string SessionCipher() const;
    // Data connections encrypted since the last connect, and how many of them resumed the session.
    int SecuredDataConnections() const;
    int ResumedDataConnections() const;

    TIdFTPTransferType TransferType() const { return FTransferType; }
    void SetTransferType(TIdFTPTransferType value);
    TIdFtpProxySettings& ProxySettings() { return FProxySettings; }
    void SetProxySettings(const TIdFtpProxySettings& value) { FProxySettings.Assign(value); }

    TIdRFCReply& LoginReply() { return FLoginReply; }
    TStringList& ListingLines() { return FListingLines; }
    const std::string& SystemDescription() const { return FSystemDescription; }
    TIdTCPConnection* DataChannel() const { return FDataChannel.get(); }
    // Built from ListingLines on first use after a listing; the next listing discards it.
    TIdFTPListItems& ParsedListing();

    bool IsConnected() { return IsOpen(); }
    // Any reply that cannot be trusted to end where the next one starts (cut off, too long,
    // unreadable, late) closes the control connection before the failure goes on.
    int16_t ReadReply(const std::vector<int16_t>& allowed) override;
    void ConnectAndLogin(bool autoLogin = true, int timeoutMs = -1);
    virtual void SendLogin();
    void SendTypeCommand();
    // Refuses a line holding CR or LF before anything is sent.
    void WriteLine(const std::string& text) override;

    // Transfers.
    void DownloadToFile(const std::string& remoteName, const std::string& localPath, bool canOverwrite);
    void DownloadToStream(const std::string& remoteName, TStream& stream);
    void UploadFromFile(const std::string& localPath, const std::string& remoteName);
    void UploadFromStream(TStream& stream, const std::string& remoteName);
    void ListFolder(TStringList* lines, const std::string& specifier);
    void ReceiveData(const std::string& command, TStream& stream);
    void SendData(const std::string& command, TStream& stream);
    void RequestPassive(std::string& host, int& port);
    void AnnouncePort(const TIdSocketHandle& binding);
    // EPSV and EPRT (IPv6 control connections, and EPSV where PASV is refused).
    void RequestExtendedPassive(int& port);
    void AnnounceExtendedPort(const TIdSocketHandle& binding);
    int ReceiveLowWater() const;
    void PrepareDataChannel();

    virtual void DoAfterGet(TStream& stream);
    virtual void AbortTransfer();
    virtual void CloseDataChannel();

    // Thread-safe: shuts the control and data sockets down so that a blocked call ends now.
    void ShutdownConnections();

    // File and folder commands.
    void ChangeFolder(const std::string& name);
    int16_t ChangeFolderUp();
    std::string CurrentFolder();
    void CreateFolder(const std::string& name);
    void RemoveFolder(const std::string& name);
    void DeleteRemoteFile(const std::string& name);
    void RenameRemote(const std::string& oldName, const std::string& newName);
    void SiteCommand(const std::string& command);
    // -1 when the server gives no readable size.
    int64_t RemoteFileSize(const std::string& name);

    // Features and resumed downloads (IdFTPFeatures.cpp).
    // Whether the last login's FEAT reply listed the feature ("UTF8", "REST STREAM", "MLST"),
    // compared without case; a listed "MLST type*;size*;" also counts as "MLST".
    bool Supports(const std::string& feature) const;
    const std::vector<std::string>& Features() const { return FFeatures; }
    // Appends the rest of the remote file to the local one, which holds its first bytes: REST
    // with the local size, then RETR. The bytes already there are never changed.
    void ResumeToFile(const std::string& remoteName, const std::string& localPath);

private:
    // TLS (IdFTPTls.cpp)
    void PrepareTls(const std::string& host, int port);
    void NegotiateTls();
    void StartControlTls();
    void ProtectData();
    void StartDataTls(TIdTCPConnection& channel);
    TIdIOHandlerSocket* NewDataHandler();
    std::unique_ptr<TTlsContext> FTls;
    bool FControlSecured = false;
    bool FDataProtected = false;

    void LoginExchange(const std::string& name, const std::string& password);
    void SetDataChannel(TIdTCPConnection* channel);
    void FreeDataChannel();
    void ThrowIfShutDown();
    std::string ControlPeerIP() const;
    std::string ControlLocalIP() const;
    void ReceivePassive(const std::string& command, TStream& stream);
    void ReceiveActive(const std::string& command, TStream& stream);
    void SendPassive(const std::string& command, TStream& stream);
    void SendActive(const std::string& command, TStream& stream);
    bool ControlIsIPv6() const;
    void RequestDataAddress(std::string& host, int& port);
    void AnnounceDataAddress(const TIdSocketHandle& binding);
    TIdTCPClient& OpenPassiveChannel();
    TIdSimpleServer& OpenActiveListener();
    void AcceptDataConnection(TIdSimpleServer& server);
    void SendStreamTolerant(TIdTCPConnection& channel, TStream& stream, bool rewind);
    void ReadFinalReply();
    void SkipLateAbortReply();
    void SkipClosingReply();
    template <typename Body> void RunTransfer(Body body);
    void EndTransfer();
    void WriteTransferCommand(const std::string& command);
    void NoteReply(int16_t code);
    void BringBackInStep();
    void DropControl();
    std::string TimeoutText() const;
    void NoteAnnouncedSize();
    void CheckDownloadComplete(const std::string& remoteName, int64_t received);
    void AskFeatures();
    void SendPendingRestart(const std::string& command);

    TIdFTPTransferType FTransferType = ftBinary;
    TIdFtpProxySettings FProxySettings;
    TIdRFCReply FLoginReply;
    TStringList FListingLines;
    std::string FSystemDescription = "Unknown";
    std::unique_ptr<TIdTCPConnection> FDataChannel;
    std::unique_ptr<TIdFTPListItems> FParsedListing;
    std::mutex FDataChannelLock; // guards FDataChannel against ShutdownConnections
    std::atomic<bool> FShutDown{false};
    bool FAbortRequested = false;
    // The transfer's replies the server still owes: none, the command's, or the final one.
    enum TPendingReply { prNone, prCommand, prFinal };
    TPendingReply FPendingReply = prNone;
    int FReplyWaitMs = 0; // a shorter bound than ReplyTimeoutMs while catching up
    // Sizes announced for the next download: by SIZE (for that name) and by the 150 reply.
    std::string FSizeName;
    int64_t FSizeAnswer = -1;
    int64_t FAnnouncedSize = -1;
    std::vector<std::string> FFeatures; // upper case, as listed by FEAT
    int64_t FResumeOffset = 0;          // the bytes a resumed download already has
    bool FRestartOwed = false;          // REST goes before the resumed download's RETR
};

// The host and port a PASV reply line names. A piece that is not a number raises EConvertError;
// numbers outside 0..255 or port 0 raise EIdFTPPassiveAddressError.
void ParsePassiveReply(const std::string& line, std::string& host, int& port);
// The port of an EPSV reply line "... (|||port|)": any other shape raises
// EIdFTPPassiveAddressError, and so does a port outside 1..65535.
int ParseExtendedPassiveReply(const std::string& line);
// The 64-bit size of a SIZE reply's text, -1 when it holds none.
int64_t ParseSizeReply(const std::string& text);
// The features of a FEAT reply's lines (codes included), upper case, at most 100.
std::vector<std::string> ParseFeatureReply(const TStringList& lines);
