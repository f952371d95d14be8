// FileDialogs: the open, save and folder dialogs, taking the system's
// filter texts.
//
// A filter text is a list of entries separated by ":", each entry a
// description, "|" and a pattern: "Bases de datos (*.db)|db:Todos los
// archivos (*.*)|", "Archivos de texto (*.txt)|*.txt:Todos los
// archivos|*.*", "Archivos sql (*.sql)|sql". A pattern is a bare extension
// ("db"), a wildcard ("*.txt", "*.*"), or empty, when the description's own
// parenthesised pattern counts. "*.*" means every file (on this system a
// name need not have a dot). A save dialog adds the selected entry's
// extension to a name typed without one.
//
// A responder installed with setResponder answers every dialog instead of
// a window (tests). Threads: the UI thread only. Nothing here throws.
#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

#include "core/String.h"

namespace VORLIN {

class FileDialogs {
public:
    struct Entry {
        QString description;       // without its parenthesised pattern
        QStringList patterns;      // "*.db", "*"
        QString extension;         // "db"; empty for "every file"
        QString qtFilter() const;  // "Bases de datos (*.db)"
    };
    enum class Kind { Open, Save, Folder };
    struct Request {
        Kind kind;
        String title;
        String filter;
        String startFolder;
    };
    // Answers the chosen path (empty: cancelled) and the entry index.
    using Responder = std::function<String(const Request&, int& filterIndex)>;

    static std::vector<Entry> parseFilter(const String& filter);
    // The entries as one Qt filter list (";;"-separated).
    static QString qtFilters(const String& filter);
    // `name` with the entry's extension when it has none.
    static String withExtension(const String& name, const Entry& entry);

    // The chosen file, or empty on cancel; `filterIndex` (optional) gets
    // the index of the entry the person chose.
    static String openFile(const String& title, const String& filter,
                           const String& startFolder = String(), int* filterIndex = nullptr);
    static String saveFile(const String& title, const String& filter,
                           const String& startFolder = String(), int* filterIndex = nullptr);
    static String chooseFolder(const String& title, const String& startFolder);

    static void setResponder(Responder responder);

private:
    static String run(const Request& request, int* filterIndex);
};

}  // namespace VORLIN
