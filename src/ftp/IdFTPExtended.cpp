// Data connections on IPv6: EPSV and EPRT, and EPSV where an IPv4 server refuses PASV.
#include "ftp/IdFTP.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The text between the parentheses: three delimiters, the port, a delimiter.
std::string ExtendedPortField(const std::string& line)
{
    const size_t open = line.find('(');
    const size_t close = open == std::string::npos ? open : line.find(')', open);
    if (close == std::string::npos)
        throw EIdFTPPassiveAddressError("Invalid extended passive reply: " + line);
    const std::string inside = line.substr(open + 1, close - open - 1);
    const char d = inside.empty() ? '\0' : inside[0];
    // The delimiter is a printable character other than a digit, the same all four times.
    const bool delimiterOk = d > ' ' && d < 127 && !IsDigit(d);
    if (!delimiterOk || inside.size() < 5 || inside[1] != d || inside[2] != d || inside.back() != d)
        throw EIdFTPPassiveAddressError("Invalid extended passive reply: " + line);
    return inside.substr(3, inside.size() - 4);
}

} // namespace

int ParseExtendedPassiveReply(const std::string& line)
{
    const std::string text = IdTrim(line);
    const std::string digits = ExtendedPortField(text);
    bool numeric = !digits.empty() && digits.size() <= 5;
    for (char c : digits)
        numeric = numeric && IsDigit(c);
    const int port = numeric ? std::stoi(digits) : 0;
    if (port < 1 || port > 65535)
        throw EIdFTPPassiveAddressError("Invalid port in the extended passive reply: " + text);
    return port;
}

bool TIdFTP::ControlIsIPv6() const
{
    return TIdStack::AddressVersion(ControlPeerIP()) == Id_IPv6;
}

void TIdFTP::RequestExtendedPassive(int& port)
{
    SendCommand("EPSV", {229});
    port = ParseExtendedPassiveReply(LastReply().Text.Count() > 0 ? LastReply().Text[0] : std::string());
}

void TIdFTP::AnnounceExtendedPort(const TIdSocketHandle& binding)
{
    // A zone ("%eth0") means something only on this machine.
    const std::string address = binding.IP.substr(0, binding.IP.find('%'));
    const char* family = binding.IPVersion == Id_IPv6 ? "2" : "1";
    SendCommand("EPRT |" + std::string(family) + "|" + address + "|" + std::to_string(binding.Port) + "|",
                {200});
}

// The host is left empty for EPSV: data always goes to the control connection's peer.
void TIdFTP::RequestDataAddress(std::string& host, int& port)
{
    if (ControlIsIPv6()) {
        RequestExtendedPassive(port);
        return;
    }
    try {
        RequestPassive(host, port);
    } catch (const EIdProtocolReplyError& e) {
        // A server that refuses PASV outright may still offer EPSV; any other answer stands.
        if (e.ReplyCode < 500 || e.ReplyCode > 599)
            throw;
        RequestExtendedPassive(port);
    }
}

void TIdFTP::AnnounceDataAddress(const TIdSocketHandle& binding)
{
    if (ControlIsIPv6())
        AnnounceExtendedPort(binding);
    else
        AnnouncePort(binding);
}
