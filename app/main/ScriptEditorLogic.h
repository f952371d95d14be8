// ScriptEditorLogic: the "Script" menu of the main window without its
// window: which file the editor holds ("*NUEVO*" until it is saved), new,
// open, save and save-as, running the function "main" of the editor's
// text, and explaining it into "trace.log".
//
// A run reports its errors through the script host (message boxes) and
// ends with one line for the output pane (ScriptRunReport): the success
// line only when it reported no error, otherwise how many it reported. A run can be stopped: the
// window calls requestStop() (its "Detener" button, Escape) while its stop check keeps the window
// alive between instructions; the run then ends with "Ejecución detenida por el usuario", which a
// TRY block does not catch.
//
// Files are written through a temporary file beside the target, renamed
// into place, so a failed save never leaves half a script.
//
// Ownership: the session and the host belong to the application.
// Threads: the UI thread. Throws GeneralException from open and save with
// the file's name.
#pragma once

#include <functional>

#include "core/String.h"

namespace VORLIN {

class ScriptSession;

class ScriptEditorLogic {
public:
    static constexpr const char* kNewName = "*NUEVO*";
    static constexpr const char* kFilter = "Archivos de texto (*.txt)|*.txt:Todos los archivos|*.*";
    static constexpr const char* kOpenTitle = "Abrir script";
    static constexpr const char* kSaveTitle = "Guardar script";
    static constexpr const char* kNoMain = "No se encontró la función main";
    static constexpr const char* kCannotRead = "No se pudo leer el archivo %s";
    static constexpr const char* kCannotWrite = "No se pudo escribir el archivo %s";

    explicit ScriptEditorLogic(ScriptSession& session);
    ~ScriptEditorLogic();

    const String& path() const noexcept { return path_; }
    bool isNew() const noexcept { return path_ == kNewName; }
    // What the editor's title shows: "*NUEVO*" or the file's path.
    const String& title() const noexcept { return path_; }

    // "Nuevo script": forgets the file and the compiled script.
    void newScript();
    // "Abrir script": the file's text; the path becomes the file's.
    String open(const String& path);
    // "Guardar script" / "Guardar como...": writes `text` to `path` (the
    // current path when empty) and makes it the current path.
    void save(const String& text, const String& path = String());

    // "Ejecutar script": runs main; answers the line for the output pane
    // (empty for an empty text).
    String run(const String& text);
    // "Explain script": writes the listing of main to `traceFile`;
    // answers the line for the output pane, or empty after an error.
    String explain(const String& text, const String& traceFile);

    bool running() const noexcept { return running_; }
    void requestStop() noexcept { stop_ = true; }
    // While a run goes on, `keepAlive` is called between instructions (every
    // `interval`); a stop request ends the run there.
    void setKeepAlive(std::function<void()> keepAlive, unsigned interval = 2000);

    // Writes `bytes` to `path` through a temporary file beside it.
    static void writeFile(const String& path, const String& bytes);
    static String readFile(const String& path);

private:
    ScriptSession& session_;
    String path_ = kNewName;
    bool running_ = false;
    bool stop_ = false;
    std::function<void()> keepAlive_;
    unsigned interval_ = 2000;
};

}  // namespace VORLIN
