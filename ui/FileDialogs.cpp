#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "ui/MsgBox.h"

namespace VORLIN {

namespace {

FileDialogs::Responder& responder() {
    static FileDialogs::Responder r;
    return r;
}

QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}
String s(const QString& q) {
    return String(q.toUtf8().toStdString());
}

// "*.*" and "*" are every file; "*.txt" stays; "txt" becomes "*.txt".
QString normalisePattern(QString p) {
    p = p.trimmed();
    if (p == "*.*" || p == "*") return QStringLiteral("*");
    if (!p.contains('*') && !p.contains('?')) {
        if (p.startsWith('.')) p.remove(0, 1);
        return QStringLiteral("*.") + p;
    }
    return p;
}

}  // namespace

QString FileDialogs::Entry::qtFilter() const {
    return description + QStringLiteral(" (") + patterns.join(' ') + QStringLiteral(")");
}

std::vector<FileDialogs::Entry> FileDialogs::parseFilter(const String& filter) {
    std::vector<Entry> entries;
    const QString text = q(filter);
    int pos = 0;
    while (pos < text.size()) {
        const int bar = text.indexOf('|', pos);
        QString description;
        QString pattern;
        if (bar < 0) {
            description = text.mid(pos);
            pos = int(text.size());
        } else {
            description = text.mid(pos, bar - pos);
            int end = text.indexOf(':', bar + 1);
            if (end < 0) end = int(text.size());
            pattern = text.mid(bar + 1, end - bar - 1);
            pos = end + 1;
        }
        description = description.trimmed();
        if (description.isEmpty() && pattern.isEmpty()) continue;
        // The description's own "(…)" gives the patterns when none follow.
        static const QRegularExpression paren(QStringLiteral("\\s*\\(([^()]*)\\)\\s*$"));
        QRegularExpressionMatch m = paren.match(description);
        QString fromDescription;
        if (m.hasMatch()) {
            fromDescription = m.captured(1);
            description = description.left(m.capturedStart()).trimmed();
        }
        if (pattern.trimmed().isEmpty()) pattern = fromDescription;
        if (pattern.trimmed().isEmpty()) pattern = QStringLiteral("*");
        Entry e;
        e.description = description.isEmpty() ? pattern : description;
        for (const QString& p :
             pattern.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
            e.patterns << normalisePattern(p);
        }
        if (e.patterns.isEmpty()) e.patterns << QStringLiteral("*");
        const QString& first = e.patterns.first();
        if (first.startsWith(QStringLiteral("*.")) && first.indexOf(QLatin1Char('*'), 1) < 0 &&
            !first.contains('?'))
            e.extension = first.mid(2);
        entries.push_back(e);
    }
    return entries;
}

QString FileDialogs::qtFilters(const String& filter) {
    QStringList list;
    for (const Entry& e : parseFilter(filter))
        list << e.qtFilter();
    return list.join(QStringLiteral(";;"));
}

String FileDialogs::withExtension(const String& name, const Entry& entry) {
    if (entry.extension.isEmpty() || name.isEmpty()) return name;
    const QFileInfo info(q(name));
    if (!info.suffix().isEmpty()) return name;
    return s(q(name) + '.' + entry.extension);
}

void FileDialogs::setResponder(Responder r) {
    responder() = std::move(r);
}

String FileDialogs::openFile(const String& title, const String& filter, const String& startFolder,
                             int* filterIndex) {
    return run({Kind::Open, title, filter, startFolder}, filterIndex);
}

String FileDialogs::saveFile(const String& title, const String& filter, const String& startFolder,
                             int* filterIndex) {
    return run({Kind::Save, title, filter, startFolder}, filterIndex);
}

String FileDialogs::chooseFolder(const String& title, const String& startFolder) {
    return run({Kind::Folder, title, String(), startFolder}, nullptr);
}

String FileDialogs::run(const Request& request, int* filterIndex) {
    const std::vector<Entry> entries = parseFilter(request.filter);
    int chosenIndex = 0;
    String chosen;
    if (const Responder& r = responder()) {
        chosen = r(request, chosenIndex);
    } else {
        QFileDialog dialog(MsgBox::parentWindow(), q(request.title), q(request.startFolder));
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setAccessibleName(q(request.title));
        switch (request.kind) {
            case Kind::Open:
                dialog.setAcceptMode(QFileDialog::AcceptOpen);
                dialog.setFileMode(QFileDialog::ExistingFile);
                break;
            case Kind::Save:
                dialog.setAcceptMode(QFileDialog::AcceptSave);
                dialog.setFileMode(QFileDialog::AnyFile);
                break;
            case Kind::Folder:
                dialog.setFileMode(QFileDialog::Directory);
                dialog.setOption(QFileDialog::ShowDirsOnly, true);
                break;
        }
        if (request.kind != Kind::Folder && !entries.empty()) {
            QStringList filters;
            for (const Entry& e : entries)
                filters << e.qtFilter();
            dialog.setNameFilters(filters);
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return String();
        chosen = s(dialog.selectedFiles().first());
        QStringList filters;
        for (const Entry& e : entries)
            filters << e.qtFilter();
        chosenIndex = std::max<qsizetype>(0, filters.indexOf(dialog.selectedNameFilter()));
    }
    if (chosen.isEmpty()) return chosen;
    if (request.kind == Kind::Save && chosenIndex >= 0 && size_t(chosenIndex) < entries.size())
        chosen = withExtension(chosen, entries[size_t(chosenIndex)]);
    if (filterIndex) *filterIndex = chosenIndex;
    return chosen;
}

}  // namespace VORLIN
