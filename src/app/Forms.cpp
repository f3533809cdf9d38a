#include "app/Forms.h"

#include <QApplication>
#include <memory>

#include "app/About_Form.h"
#include "app/MainForm.h"
#include "app/Xload.h"
#include "panes/Unit3.h"
#include "platform/Icons.h"
#include "sites/ui/Proxies.h"
#include "sites/ui/Servers.h"

namespace {
struct AllForms {
    std::unique_ptr<TMainFrm> main;
    std::unique_ptr<TXloadForm> xload;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    std::unique_ptr<TAboutForm> about;
};
AllForms& All()
{
    static AllForms forms;
    return forms;
}
} // namespace

// The resources live in a static library: they must be registered by hand.
static void InitResources()
{
    Q_INIT_RESOURCE(ferrystar);
}

void Forms::CreateAll(const std::string& appFolder, const std::string& stateFolder)
{
    InitResources();
    ChooseIconTheme();
    QApplication::setApplicationName(QStringLiteral("Quillmoor Ferrystar v1.0"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmoor Ferrystar v1.0"));
    AllForms& f = All();
    f.main = std::make_unique<TMainFrm>(appFolder, stateFolder);
    f.xload = std::make_unique<TXloadForm>(f.main.get());
    f.form3 = std::make_unique<TForm3>(f.main.get());
    f.form4 = std::make_unique<TForm4>(f.main.get());
    f.form5 = std::make_unique<TForm5>(f.main.get());
    f.form4->SetData(&f.main->SiteData, f.form5.get());
    f.form5->SetData(&f.main->SiteData);
    f.about = std::make_unique<TAboutForm>();
}

void Forms::DestroyAll()
{
    AllForms& f = All();
    f.about.reset();
    f.form5.reset();
    f.form4.reset();
    f.form3.reset();
    f.xload.reset();
    f.main.reset();
}

TMainFrm* Forms::Main()
{
    return All().main.get();
}
TXloadForm* Forms::Xload()
{
    return All().xload.get();
}
TForm3* Forms::Permissions()
{
    return All().form3.get();
}
TForm4* Forms::Servers()
{
    return All().form4.get();
}
TForm5* Forms::Proxies()
{
    return All().form5.get();
}
TAboutForm* Forms::About()
{
    return All().about.get();
}
