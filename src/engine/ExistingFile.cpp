// A download whose local file is already there: replaced after the user's Yes, or resumed.
#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"

bool CanOfferResume(bool regularFile, int64_t localSize, int64_t remoteSize, bool restStream, bool binary)
{
    return regularFile && restStream && binary && remoteSize > 0 && localSize < remoteSize;
}

void TFTPThread::OverwriteOrResume(bool regularFile, int64_t localSize)
{
    const int64_t remoteSize = FTotalBytes;
    FResumeOffered = CanOfferResume(regularFile, localSize, remoteSize, FFTP->Supports("REST STREAM"),
                                    FFTP->TransferType() == ftBinary);
    FAnswerResume = false;
    const bool yes = Confirm(OnFileExists);
    // An All given earlier asks nothing and means replace.
    const bool resume = yes && FResumeOffered && FAnswerResume;
    FResumeOffered = false;
    FAnswerResume = false;
    if (!yes)
        return;
    if (!resume) {
        FFTP->DownloadToFile(FCurrent->Source, FCurrent->Destination, true);
        return;
    }
    Log("RESUME " + FCurrent->Source + " at " + std::to_string(localSize));
    FTotalBytes = remoteSize - localSize;
    FFTP->ResumeToFile(FCurrent->Source, FCurrent->Destination);
}
