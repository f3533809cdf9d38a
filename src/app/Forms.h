#pragma once
// The program's six windows, created once in a fixed order and kept for the whole run.
#include <string>

class TMainFrm;
class TXloadForm;
class TForm3;
class TForm4;
class TForm5;
class TAboutForm;

namespace Forms {
// stateFolder (log.txt, err.txt) is appFolder when empty.
void CreateAll(const std::string& appFolder, const std::string& stateFolder = {});
void DestroyAll();
TMainFrm* Main();
TXloadForm* Xload();
TForm3* Permissions();
TForm4* Servers();
TForm5* Proxies();
TAboutForm* About();
} // namespace Forms
