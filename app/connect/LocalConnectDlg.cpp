#include "app/connect/LocalConnectDlg.h"

#include "ui/FileDialogs.h"

namespace VORLIN {

bool LocalConnectDlg::choose(const String& startFolder, String& chosen) {
    String folder = FileDialogs::chooseFolder(kTitle, startFolder);
    if (folder.isEmpty()) return false;
    if (folder[folder.length() - 1] != '/') folder.append('/');
    chosen = folder;
    return true;
}

}  // namespace VORLIN
