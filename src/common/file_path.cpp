#include "common/file_path.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name ignoring ASCII case, or name itself
// when there is none. An exact match wins over a case-folded one.
std::string findEntry(const std::string& folder, const std::string& name)
{
    std::string exact = folder.empty() ? name : folder + "/" + name;
    if (exists(exact))
        return name;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return name;
    std::string found = name;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace

std::string resolveDataPath(const std::string& showPath, const std::string& base)
{
    std::string mapped = showPath;
    for (char& c : mapped)
        if (c == '\\')
            c = '/';

    std::string result;
    size_t start = 0;
    std::string lookupBase = base;
    if (!mapped.empty() && mapped[0] == '/') {
        result = "/";
        start = 1;
        lookupBase.clear();
    }
    while (start <= mapped.size()) {
        size_t slash = mapped.find('/', start);
        if (slash == std::string::npos)
            slash = mapped.size();
        std::string component = mapped.substr(start, slash - start);
        if (!component.empty()) {
            std::string folder = result == "/" ? "/" : result;
            if (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            std::string where = result.empty() ? "" : folder;
            if (!lookupBase.empty())
                where = where.empty() ? lookupBase : lookupBase + "/" + where;
            std::string entry = findEntry(where, component);
            if (!result.empty() && result.back() != '/')
                result += '/';
            result += entry;
        }
        start = slash + 1;
    }
    return result;
}
