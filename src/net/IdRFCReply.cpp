#include "net/IdRFCReply.h"

#include "net/IdGlobal.h"

void TIdRFCReply::SetNumericCode(int value)
{
    FNumericCode = value;
    if (value > 0)
        FTextCode = std::to_string(value);
}

void TIdRFCReply::SetTextCode(const std::string& value)
{
    FTextCode = value;
    if (value.empty())
        return;
    size_t used = 0;
    int code = 0;
    try {
        code = std::stoi(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    FNumericCode = used == value.size() ? code : 0;
}

void TIdRFCReply::Clear()
{
    FNumericCode = 0;
    FTextCode.clear();
    Text.Clear();
    Lines.Clear();
}

void TIdRFCReply::Assign(const TIdRFCReply& source)
{
    FNumericCode = source.FNumericCode;
    FTextCode = source.FTextCode;
    Text.Assign(source.Text);
    Lines.Assign(source.Lines);
}

void TIdRFCReply::ParseReply(const TStringList& lines)
{
    Clear();
    if (lines.Count() == 0)
        return;
    Lines.Assign(lines);
    std::string code = IdTrim(lines[0].substr(0, 4));
    if (code.size() == 4 && code[3] == '-')
        code.resize(3);
    SetTextCode(code);
    for (const auto& line : lines.Items())
        Text.Add(line.size() > 4 ? line.substr(4) : std::string());
}
