#pragma once
// Who the test vsftpd logs in and serves files as. The tests create no system account: vsftpd maps
// a virtual user (a name and a password made for each server, checked by a PAM service of the
// tests' own, see VirtualFtpLogin) onto the system's "ftp" account, which has no login shell and
// no password.
inline constexpr const char* kFtpGuestAccount = "ftp";

// Raises with a hint when the guest account is missing.
void RequireFtpTestUser();
// Gives a path (recursively) to the guest account, so that the server may change what a test put there.
void GiveToFtpTestUser(const char* path);
