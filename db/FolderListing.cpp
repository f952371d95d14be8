#include "db/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const std::string base = folder.isEmpty() ? std::string(".") : folder.toStdString();
    const int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        list(-1, mask, skipHidden, out, {});
        return false;
    }
    return list(fd, mask, skipHidden, out, {});
}

bool FolderListing::list(int dirFd, const String& mask, bool skipHidden, DataSet& out,
                         const Examine& examine) {
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

    if (dirFd < 0) return false;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return false;
    }
    std::vector<Entry> entries;
    while (dirent* e = ::readdir(dir)) {
        if (skipHidden && e->d_name[0] == '.') continue;
        if (!mask.isEmpty() && ::fnmatch(mask.c_str(), e->d_name, 0) != 0) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (examine) {
            if (!examine(::dirfd(dir), e->d_name, st)) continue;
        } else if (S_ISLNK(st.st_mode) && ::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0) {
            continue;  // a dangling link
        }
        if (!S_ISREG(st.st_mode)) continue;
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
