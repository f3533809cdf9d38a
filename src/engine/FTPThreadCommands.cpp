// The commands the window used to send on the session itself, run as tasks in front of the
// waiting ones.
#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"

void TFTPThread::DoRename()
{
    FFTP->RenameRemote(FCurrent->Source, FCurrent->Destination);
}

void TFTPThread::DoChmod()
{
    FFTP->SiteCommand("chmod " + FCurrent->Destination + " " + FCurrent->Source);
}

void TFTPThread::DoSetType()
{
    const std::string& choice = FCurrent->Source;
    FAutoType = choice == "Auto";
    if (!FAutoType)
        FFTP->SetTransferType(choice == "Binary" ? ftBinary : ftASCII);
}
