#pragma once
// Running the real window in tests: its forms over folders of the test's, and answered questions.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <string>

#include "app/Questions.h"

class TMainFrm;

// Serves the event loop (and so the worker's notifications) until pred holds.
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(30));

class ProgramRun {
public:
    ProgramRun(const std::string& appFolder, const std::string& tmp, const std::string& stateFolder = {});
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;
    void Close();
    TMainFrm& main();

private:
    QByteArray FOldTmp;
};

// Records every question and message; answers questions from a script (then with the default).
class ScriptedAnswers {
public:
    ScriptedAnswers();
    ~ScriptedAnswers();
    QStringList Asked;
    QStringList Messages;
    std::vector<TAnswer> Next;
    TAnswer Default = mrYes;
};
