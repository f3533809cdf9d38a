#include "rtl/StringList.h"

#include <algorithm>

#include "rtl/Exception.h"
#include "rtl/Streams.h"

int TStringList::Add(std::string s)
{
    FItems.push_back(std::move(s));
    return Count() - 1;
}

void TStringList::Insert(int index, std::string s)
{
    if (index < 0 || index > Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    FItems.insert(FItems.begin() + index, std::move(s));
}

void TStringList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    FItems.erase(FItems.begin() + index);
}

int TStringList::IndexOf(const std::string& s) const
{
    auto it = std::find(FItems.begin(), FItems.end(), s);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

std::string TStringList::Text() const
{
    std::string out;
    for (const auto& line : FItems) {
        out += line;
        out += '\n';
    }
    return out;
}

void TStringList::SetText(const std::string& text)
{
    FItems.clear();
    size_t start = 0;
    const size_t n = text.size();
    while (start < n) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            FItems.push_back(text.substr(start));
            break;
        }
        FItems.push_back(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ? 2 : 1);
    }
}

void TStringList::LoadFromStream(TStream& stream)
{
    const int64_t n = stream.Size() - stream.Position();
    std::string text(static_cast<size_t>(std::max<int64_t>(n, 0)), '\0');
    stream.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    SetText(text);
}

void TStringList::SaveToStream(TStream& stream) const
{
    const std::string text = Text();
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStringList::LoadFromFile(const std::string& fileName)
{
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(f);
}

void TStringList::SaveToFile(const std::string& fileName) const
{
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}
