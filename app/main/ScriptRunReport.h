// ScriptRunReport: the line the output pane gets when "Ejecutar script" or
// "Explain script" ends. The success lines are written only when the run
// reported no error; otherwise the line says how many errors were reported,
// so that a failed run never ends with a success line.
//
// Pure functions of the error-report count (Rutina::errorReports of the
// run). Nothing here throws. Application class (no namespace, no Qt).
#pragma once

#include "core/String.h"

class ScriptRunReport {
public:
    // After "Ejecutar script" with no error report.
    static constexpr const char* kRunDone = "-Finalizó el programa correctamente-";
    // After "Explain script" with no error report.
    static constexpr const char* kExplainDone = "-OK-";
    // After either, with one error report, or with %d of them.
    static constexpr const char* kOneError = "-El programa terminó con 1 error-";
    static constexpr const char* kErrorsFormat = "-El programa terminó con %d errores-";

    // The closing line of a run that caused `errorReports` error reports.
    static VORLIN::String runLine(int errorReports);
    // The closing line of an explain that caused `errorReports` of them.
    static VORLIN::String explainLine(int errorReports);

private:
    static VORLIN::String errorLine(int errorReports);
};
