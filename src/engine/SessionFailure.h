#pragma once
// What a failure says about the session, read from the exception's type (never its text, which
// is the server's or the platform's and is only shown).
#include <exception>

enum class TSessionFailure {
    // The task failed; the session is as good as before.
    Other,
    // The server closed or reset the connection, or said it is closing it (421): worth a
    // reconnection and a second run.
    Lost,
    // The server did not answer in time: the session is dropped, the task is not run again.
    TimedOut,
};

TSessionFailure ClassifyFailure(const std::exception& e);
