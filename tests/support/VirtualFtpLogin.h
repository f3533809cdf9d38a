#pragma once
// The login of a test vsftpd's virtual user: a random password, kept as a hash in a root-only file
// of the server's temporary folder, and a PAM service of the tests' own in /etc/pam.d that checks
// it (and nothing else). The destructor removes the service; the password unlocks nothing else.
#include <string>

class VirtualFtpLogin {
public:
    // `folder` holds the password file; it goes away with the server.
    explicit VirtualFtpLogin(const std::string& folder);
    ~VirtualFtpLogin();
    VirtualFtpLogin(const VirtualFtpLogin&) = delete;
    VirtualFtpLogin& operator=(const VirtualFtpLogin&) = delete;

    const std::string& User() const { return FUser; }
    const std::string& Password() const { return FPassword; }
    // The name for vsftpd's pam_service_name.
    const std::string& Service() const { return FService; }

    static constexpr const char* kServicePrefix = "ferrystar-test-";

private:
    std::string FUser = "ferrytest";
    std::string FPassword;
    std::string FService;
};
