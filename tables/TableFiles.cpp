// Table file names matched without regard to letter case.
#include "tables/TableFiles.h"

#include <algorithm>

namespace ponteva::dbf {

namespace {

char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiUpper(x) == asciiUpper(y); });
}

std::string tableBaseName(std::string_view baseName)
{
    if (baseName.size() > kTableExtension.size()
        && equalsIgnoringAsciiCase(baseName.substr(baseName.size() - kTableExtension.size()), kTableExtension))
        baseName.remove_suffix(kTableExtension.size());
    std::string name(baseName);
    std::transform(name.begin(), name.end(), name.begin(), asciiUpper);
    return name;
}

std::vector<std::string> caseVariants(FileIo& io, const std::filesystem::path& dir, std::string_view fileName)
{
    std::vector<std::string> found;
    for (std::string& entry : io.list(dir)) {
        if (equalsIgnoringAsciiCase(entry, fileName))
            found.push_back(std::move(entry));
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace ponteva::dbf
