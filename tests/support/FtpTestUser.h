#pragma once
// The local account the real test servers log in with; scripts/install-deps.sh creates it.
inline constexpr const char* kFtpTestUser = "ferrytest";
inline constexpr const char* kFtpTestPassword = "Ferry-Test-7";

// Raises with a hint when the account is missing.
void RequireFtpTestUser();
// Gives a path (recursively) to the test account, so that the server may change what a test put there.
void GiveToFtpTestUser(const char* path);
