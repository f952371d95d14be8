#include "app/main/ScriptRunReport.h"

using VORLIN::String;

String ScriptRunReport::errorLine(int errorReports) {
    if (errorReports == 1) return String(kOneError);
    String text;
    text.format(kErrorsFormat, errorReports);
    return text;
}

String ScriptRunReport::runLine(int errorReports) {
    return errorReports > 0 ? errorLine(errorReports) : String(kRunDone);
}

String ScriptRunReport::explainLine(int errorReports) {
    return errorReports > 0 ? errorLine(errorReports) : String(kExplainDone);
}
