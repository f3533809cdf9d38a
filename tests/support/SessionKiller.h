#pragma once
// Ends every session of the vsftpd servers this process started, the way a server that drops
// its clients does: the control connections just close. Returns once those processes are dead.
void KillFtpSessions();
