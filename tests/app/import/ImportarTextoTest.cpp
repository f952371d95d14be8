// The text import wizard on the offscreen platform, through its three pages
// into a real SQLite file.
#include "app/import/ImportarTexto.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "app/import/ImportarTextoLogic.h"
#include "app/import/Paso1.h"
#include "app/import/Paso2.h"
#include "app/import/Paso3.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/TempFolder.h"
#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"

using namespace VORLIN;

namespace {

std::string u(const QString& s) {
    return s.toUtf8().toStdString();
}

void settle(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

struct Wizard {
    testsupport::TempFolder dir;
    SqliteLocalConnection db;
    std::vector<MsgBox::Shown> shown;
    std::vector<FileDialogs::Request> asked;
    std::string answer;
    Wizard() {
        EXPECT_TRUE(db.connect(String(dir.path), "", "", false, "-"));
        EXPECT_TRUE(db.openDatabase("datos.db", false, String(), String()));
        db.execute(
            "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT NOT NULL, ciudad TEXT, "
            "importe NUMERIC, pais TEXT, codigo INTEGER UNIQUE)");
        MsgBox::setResponder([this](const MsgBox::Shown& s) {
            shown.push_back(s);
            return 0;
        });
        FileDialogs::setResponder([this](const FileDialogs::Request& r, int& index) {
            asked.push_back(r);
            index = 0;
            return String(answer);
        });
    }
    ~Wizard() {
        MsgBox::setResponder({});
        FileDialogs::setResponder({});
    }
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        answer = dir.file(name);
    }
    int count() { return db.queryInt("SELECT COUNT(*) FROM clientes"); }
};

void select(QListWidget* list, const char* text) {
    auto found = list->findItems(QString::fromUtf8(text), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text;
    list->setCurrentItem(found[0]);
}

TEST(ImportarTexto, ThreePagesImportOnceAndAgainOnlyWhenAsked) {
    Wizard w;
    w.write("clientes.csv",
            "\xEF\xBB\xBFNombre,Ciudad,Importe,Codigo\r\n"
            "\"Pérez, Juan\",\"Monterrey\r\nCentro\",12.5,1\r\n"
            "Ana,null,,2\r\n"
            "Luis,Puebla,abc,3\r\n"
            "Eva,Lima,3,1\r\n"
            "Rosa,Quito,7,4");
    ImportarTexto dlg(w.db, String(w.dir.path));
    dlg.show();
    EXPECT_EQ(u(dlg.windowTitle()), "Importar datos desde un archivo de texto");
    EXPECT_EQ(u(dlg.backButton()->accessibleName()), "Anterior");
    EXPECT_EQ(u(dlg.nextButton()->accessibleName()), "Siguiente");
    EXPECT_EQ(u(dlg.cancelButton()->text()), "Cancelar");
    EXPECT_FALSE(dlg.backButton()->isEnabled());
    EXPECT_FALSE(dlg.finishButton()->isVisible());

    // Paso1: no file yet, then the file with "," as separator.
    dlg.nextButton()->click();
    EXPECT_EQ(dlg.page(), 0);
    ASSERT_EQ(w.shown.size(), 1u);
    EXPECT_EQ(w.shown[0].text, ImportarTextoLogic::kNoFile);
    Paso1* p1 = dlg.paso1();
    p1->separatorBox()->setCurrentIndex(1);
    EXPECT_TRUE(p1->headersBox()->isChecked());
    dlg.paso1()->chooseFile();
    ASSERT_EQ(w.asked.size(), 1u);
    EXPECT_EQ(w.asked[0].title, "Importar CVS");
    EXPECT_EQ(w.asked[0].filter, "Archivos de texto (*.txt)|*.txt:Todos los archivos|*.*");
    EXPECT_EQ(w.asked[0].startFolder.toStdString(), w.dir.path);
    QTableWidget* grid = p1->grid();
    EXPECT_EQ(u(grid->accessibleName()), "Datos del archivo");
    ASSERT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(u(grid->horizontalHeaderItem(0)->text()), "#ROW#");
    EXPECT_EQ(u(grid->horizontalHeaderItem(1)->text()), "Nombre");
    EXPECT_EQ(grid->columnWidth(0), 26);
    EXPECT_EQ(grid->columnWidth(1), 80);
    ASSERT_EQ(grid->rowCount(), 5);
    EXPECT_EQ(u(grid->item(0, 1)->text()), "Pérez, Juan");
    EXPECT_EQ(u(grid->item(0, 2)->text()), "Monterrey\r\nCentro");
    EXPECT_EQ(u(p1->encodingLabel()->text()), "Codificación: UTF-8");
    if (const char* shot = std::getenv("QUELMIR_IMPORT_SCREENSHOT")) {
        QApplication::processEvents();
        dlg.grab().save(shot);
    }

    // Paso2: the table, three field relations and a constant.
    dlg.nextButton()->click();
    ASSERT_EQ(dlg.page(), 1);
    Paso2* p2 = dlg.paso2();
    EXPECT_EQ(u(p2->tableBox()->currentText()), "clientes");
    EXPECT_EQ(p2->fileFields()->count(), 4);
    EXPECT_EQ(p2->tableFields()->count(), 6);
    // Nothing mapped yet: refused before anything is written.
    dlg.nextButton()->click();
    EXPECT_EQ(dlg.page(), 1);
    EXPECT_EQ(w.shown.back().text, TextImport::kNoRelations);
    for (auto [field, column] : {std::pair{"Nombre", "nombre"},
                                 {"Ciudad", "ciudad"},
                                 {"Importe", "importe"},
                                 {"Codigo", "codigo"}}) {
        select(p2->fileFields(), field);
        select(p2->tableFields(), column);
        p2->addFieldButton()->click();
    }
    p2->constantEdit()->setText("MX");
    select(p2->tableFields(), "pais");
    p2->addConstantButton()->click();
    select(p2->tableFields(), "id");
    p2->addFieldButton()->click();  // Codigo -> id, then removed again
    ASSERT_EQ(p2->relations()->count(), 6);
    p2->relations()->setCurrentRow(5);
    p2->deleteButton()->click();
    ASSERT_EQ(p2->relations()->count(), 5);
    EXPECT_EQ(u(p2->relations()->item(0)->text()), "Nombre <-> nombre");
    EXPECT_EQ(u(p2->relations()->item(4)->text()), "Constante: MX <-> pais");

    // Paso3: the import runs once the page shows.
    dlg.nextButton()->click();
    ASSERT_EQ(dlg.page(), 2);
    Paso3* p3 = dlg.paso3();
    settle([&] { return dlg.logic().hasRun() && !p3->running(); });
    EXPECT_EQ(w.count(), 3);
    EXPECT_EQ(u(p3->line1()->text()), "Importación terminada");
    EXPECT_EQ(u(p3->line2()->text()), "Filas importadas: 3, con error: 2");
    ASSERT_EQ(p3->failures()->count(), 2);
    EXPECT_EQ(u(p3->failures()->item(0)->text()),
              "Fila 3 (línea 5): ImportarTexto: \"abc\" no es un número (columna importe)");
    EXPECT_TRUE(dlg.finishButton()->isEnabled());
    EXPECT_EQ(w.db.queryString("SELECT ciudad || '/' || pais FROM clientes WHERE codigo=2"), "/MX");

    // Back and forward: the mapping stays and nothing is imported again.
    dlg.backButton()->click();
    EXPECT_EQ(dlg.page(), 1);
    EXPECT_EQ(p2->relations()->count(), 5);
    dlg.nextButton()->click();
    EXPECT_EQ(dlg.page(), 2);
    QApplication::processEvents();
    EXPECT_EQ(w.count(), 3);
    EXPECT_EQ(u(p3->line2()->text()), "Filas importadas: 3, con error: 2");

    // Running again is the explicit choice: every code is taken now.
    p3->runAgainButton()->click();
    settle([&] { return !p3->running(); });
    EXPECT_EQ(w.count(), 3);
    EXPECT_EQ(u(p3->line2()->text()), "Filas importadas: 0, con error: 5");

    dlg.finishButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST(ImportarTexto, Windows1252FileWithoutNamesAndCancelDuringTheImport) {
    Wizard w;
    std::string text;
    for (int i = 1; i <= 40000; ++i)
        text += "Se\xF1or " + std::to_string(i) + "\t" + std::to_string(i) + "\n";
    w.write("latin1.txt", text);
    ImportarTexto dlg(w.db, String(w.dir.path));
    dlg.show();
    dlg.paso1()->headersBox()->setChecked(false);
    dlg.paso1()->chooseFile();
    EXPECT_EQ(u(dlg.paso1()->encodingLabel()->text()),
              "Codificación: Windows-1252 (convertido a UTF-8)");
    EXPECT_EQ(u(dlg.paso1()->grid()->horizontalHeaderItem(2)->text()), "Campo2");
    EXPECT_EQ(dlg.paso1()->grid()->rowCount(), Paso1::kPreviewRows);
    EXPECT_EQ(u(dlg.paso1()->grid()->item(0, 1)->text()), "Señor 1");
    dlg.nextButton()->click();
    Paso2* p2 = dlg.paso2();
    select(p2->fileFields(), "Campo1");
    select(p2->tableFields(), "nombre");
    p2->addFieldButton()->click();
    select(p2->fileFields(), "Campo2");
    select(p2->tableFields(), "codigo");
    p2->addFieldButton()->click();
    // "Cancelar" while the rows go in: the run stops, nothing stays, the
    // wizard stays open.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &dlg, [&] {
        if (!dlg.paso3()->running()) return;
        poll.stop();
        dlg.cancelButton()->click();
    });
    poll.start(1);
    dlg.nextButton()->click();
    settle([&] { return dlg.logic().hasRun() && !dlg.paso3()->running(); });
    EXPECT_TRUE(dlg.logic().lastResult().cancelled);
    EXPECT_EQ(u(dlg.paso3()->line1()->text()),
              "Importación cancelada: no se ha importado ninguna fila");
    EXPECT_EQ(w.count(), 0);
    EXPECT_TRUE(dlg.isVisible());
    dlg.cancelButton()->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

}  // namespace
