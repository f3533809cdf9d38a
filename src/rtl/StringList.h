#pragma once
// An ordered list of byte strings with the few operations the core uses.
#include <string>
#include <vector>

class TStream;

class TStringList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& operator[](int index) const { return FItems.at(static_cast<size_t>(index)); }
    std::string& operator[](int index) { return FItems.at(static_cast<size_t>(index)); }
    int Add(std::string s);
    void Insert(int index, std::string s);
    void Delete(int index);
    void Clear() { FItems.clear(); }
    int IndexOf(const std::string& s) const;
    void Assign(const TStringList& other) { FItems = other.FItems; }
    const std::vector<std::string>& Items() const { return FItems; }

    // Lines joined, each followed by the line break (LF).
    std::string Text() const;
    // Splits on CR LF, LF or a lone CR.
    void SetText(const std::string& text);
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

private:
    std::vector<std::string> FItems;
};
