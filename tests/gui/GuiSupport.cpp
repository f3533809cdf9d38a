#include "GuiSupport.h"

#include <QApplication>
#include <QTest>

#include "app/Forms.h"
#include "app/MainForm.h"
#include <QTimer>
#include <gtest/gtest.h>

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(2);
    }
    return true;
}

ProgramRun::ProgramRun(const std::string& appFolder, const std::string& tmp, const std::string& stateFolder)
{
    FOldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(tmp));
    Forms::CreateAll(appFolder, stateFolder);
    main().Timer1->stop(); // tests tick it by hand
    main().resize(1200, 800);
    main().showMaximized();
    main().activateWindow();
    if (!QTest::qWaitForWindowExposed(&main()))
        ADD_FAILURE() << "the main window was not shown";
}

ProgramRun::~ProgramRun()
{
    if (main().isVisible())
        Close();
    Forms::DestroyAll();
    if (FOldTmp.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", FOldTmp);
}

void ProgramRun::Close()
{
    main().close();
    QCoreApplication::processEvents();
}

TMainFrm& ProgramRun::main()
{
    return *Forms::Main();
}

ScriptedAnswers::ScriptedAnswers()
{
    Questions::AskHook = [this](const QString& text, bool) {
        Asked << text;
        if (Next.empty())
            return Default;
        const TAnswer a = Next.front();
        Next.erase(Next.begin());
        return a;
    };
    Questions::MessageHook = [this](const QString& text) { Messages << text; };
}

ScriptedAnswers::~ScriptedAnswers()
{
    Questions::AskHook = nullptr;
    Questions::MessageHook = nullptr;
}
