#include "db/FolderListing.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/DataItem.h"
#include "core/DateTime.h"
#include "data/DataRow.h"
#include "data/DataSet.h"

namespace VORLIN {

bool FolderListing::list(const String& folder, const String& mask, bool skipHidden, DataSet& out) {
    struct Entry {
        std::string name;
        double size;
        time_t modified;
    };
    out.clearRows();
    out.setColumnNames("name|size|modified");
    DataRow model(3);
    model.setType(0, DataItem::TString);
    model.setType(1, DataItem::TDouble);
    model.setType(2, DataItem::TDate);
    out.setHeader(&model);

    std::string base = folder.isEmpty() ? std::string(".") : folder.toStdString();
    DIR* dir = ::opendir(base.c_str());
    if (!dir) return false;
    if (base.back() != '/') base.push_back('/');
    std::vector<Entry> entries;
    while (dirent* e = ::readdir(dir)) {
        if (skipHidden && e->d_name[0] == '.') continue;
        struct stat st {};
        std::string path = base + e->d_name;
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!mask.isEmpty() && ::fnmatch(mask.c_str(), e->d_name, 0) != 0) continue;
        entries.push_back({e->d_name, double(st.st_size), st.st_mtime});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });

    for (const Entry& e : entries) {
        auto row = std::make_unique<DataRow>(3);
        row->cell(0)->setString(e.name);
        row->cell(1)->setDouble(e.size);
        std::tm local{};
        localtime_r(&e.modified, &local);
        row->cell(2)->setDate(DateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                       local.tm_hour, local.tm_min, local.tm_sec));
        out.insertRow(std::move(row));
    }
    return true;
}

}  // namespace VORLIN
