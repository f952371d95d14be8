#include "app/query/QueryWnd.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <vector>

#include "app/designer/QueryDesignerDlg.h"
#include "app/query/ArrivingRows.h"
#include "app/query/QFilterDlg.h"
#include "app/query/QSourceDlg.h"
#include "app/query/QtGridModel.h"
#include "app/query/QtQueryReads.h"
#include "app/query/QueryRunner.h"
#include "app/query/ResultSaver.h"
#include "app/query/TGDataset.h"
#include "app/query/TableGridWidget.h"
#include "core/GeneralException.h"
#include "core/RegionalSettings.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"
#include "ui/CodeEditor.h"
#include "ui/ColoringSet.h"
#include "ui/FileDialogs.h"
#include "ui/ImageStore.h"
#include "ui/InputBox.h"
#include "ui/MsgBox.h"
#include "ui/WaitCursor.h"

using VORLIN::DataSet;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::MsgBox;
using VORLIN::String;

namespace {

QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}

// A row count written as the program writes numbers: grouped by the
// regional thousands separator, whatever the system's locale.
QString rowCount(qint64 n) {
    QString digits = QString::number(n);
    const QString separator = q(VORLIN::RegionalSettings::current().thousandsSeparator);
    for (qsizetype at = digits.size() - 3; at > (n < 0 ? 1 : 0); at -= 3)
        digits.insert(at, separator);
    return digits;
}

QPushButton* makeButton(const char* text, const char* mnemonicText, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(mnemonicText), parent);
    b->setObjectName(QString::fromUtf8(text));
    b->setAccessibleName(QString::fromUtf8(text));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

void QueryWnd::finishBackgroundLoads() {
    QtQueryReads::finishAll();
}

void QueryWnd::abandonBackgroundLoads() {
    QtQueryReads::finishAll(true);
}

int QueryWnd::backgroundLoads() {
    return QtQueryReads::givenUp();
}

QueryWnd::QueryWnd(DbConnection& connection, const String& label, const String& table, Hooks hooks,
                   QWidget* parent)
    : QWidget(parent, Qt::Window),
      connection_(connection),
      label_(label),
      hooks_(std::move(hooks)),
      runner_(std::make_unique<QueryRunner>(connection)) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(QString::fromUtf8(kTitle));
    setWindowIcon(VORLIN::ImageStore::icon("DB_QUERYWND"));
    auto* closer = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    connect(closer, &QShortcut::activated, this, &QWidget::close);
    resize(800, 600);

    QPushButton* run = makeButton("Ejecutar", "&Ejecutar", this);
    run->setIcon(VORLIN::ImageStore::icon("DB_EJECUTAR"));
    run->setShortcut(QKeySequence(Qt::Key_F5));
    run->setToolTip(QStringLiteral("Ejecutar (F5)"));
    transaction_ = new QCheckBox(QStringLiteral("En una &transacción"), this);
    transaction_->setAccessibleName(QString::fromUtf8(kTransaction));
    QPushButton* save = makeButton("Guardar", "&Guardar", this);
    save->setIcon(VORLIN::ImageStore::icon("SAVE"));
    QPushButton* source = makeButton("Fuente", "F&uente", this);
    QPushButton* designer = makeButton("Diseñador", "&Diseñador", this);
    designer->setToolTip(QStringLiteral("Compone la consulta en el diseñador de consultas"));
    QPushButton* filter = makeButton("Filtrar", "&Filtrar", this);
    tables_ = new QComboBox(this);
    tables_->setAccessibleName(QStringLiteral("Tablas"));
    tables_->setMinimumWidth(160);
    auto* tablesLabel = new QLabel(QStringLiteral("T&ablas: "), this);
    tablesLabel->setBuddy(tables_);

    auto* top = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{run, transaction_, save, source, designer, filter})
        top->addWidget(w);
    top->addStretch(1);
    top->addWidget(tablesLabel);
    top->addWidget(tables_);

    editor_ = new VORLIN::CodeEditor("SQL", VORLIN::ColoringSet::sql(), this);
    String caption;
    caption.format(kConnectionLabel, connection_.getHost().c_str(), connection_.getAlias().c_str());
    source_ = new QLabel(q(caption), this);
    source_->setBuddy(editor_);
    editor_->setAccessibleDescription(q(caption));
    grid_ = new TableGrid(this);

    auto* upper = new QWidget(this);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->addWidget(source_);
    upperLayout->addWidget(editor_);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setAccessibleName(QStringLiteral("SQL y datos"));
    split->addWidget(upper);
    split->addWidget(grid_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);

    // While a run reads: how long, and the way out.
    progress_ = new QLabel(this);
    progress_->setAccessibleName(QStringLiteral("Progreso"));
    cancel_ = makeButton("Cancelar", "&Cancelar", this);
    cancel_->setIcon(VORLIN::ImageStore::icon("CANCEL"));
    cancel_->setToolTip(QStringLiteral("Cancelar la consulta (Esc)"));
    auto* runLine = new QHBoxLayout;
    runLine->addWidget(progress_, 1);
    runLine->addWidget(cancel_);
    // The line keeps its height when the button goes: nothing below jumps.
    QSizePolicy keep = cancel_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    cancel_->setSizePolicy(keep);
    cancel_->hide();
    ticker_ = new QTimer(this);
    ticker_->setInterval(kFirstRowsTickMs);
    connect(ticker_, &QTimer::timeout, this, [this] { tick(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelRun(); });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&grid_->gridModel(), signal, this, [this] { showRowCount(); });
    connect(&grid_->gridModel(), &QAbstractItemModel::modelReset, this, [this] { showRowCount(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (running()) cancelRun();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(runLine);
    layout->addWidget(split, 1);

    connect(run, &QPushButton::clicked, this, [this] { runText(); });
    connect(save, &QPushButton::clicked, this, [this] { this->save(); });
    connect(source, &QPushButton::clicked, this, [this] { showSource(); });
    connect(filter, &QPushButton::clicked, this, [this] { this->filter(); });
    connect(designer, &QPushButton::clicked, this, [this] { openDesigner(); });
    connect(tables_, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { openListedTable(index); });

    // Completion: the connection's tables.
    fillTables(table);
    if (!table.isEmpty()) {
        String text;
        text.format("SELECT * FROM %s;", VORLIN::TableDataset::quoteName(table).c_str());
        editor_->setText(text);
        startLoad(runner_->prepareTable(table));
    }
    if (!running()) editor_->setFocus();
}

QueryWnd::~QueryWnd() {
    // A read still going is left to end alone: waiting here could hang the
    // program on a back end that cannot be interrupted.
    if (load_) QtQueryReads::giveUp(std::move(load_));
    // The rows go on a thread of their own; the grid lets go of them first.
    // Nothing of them is touched by anyone else any more: the runner's sets
    // are its own, and freeing them needs no connection.
    grid_->clear();
    if (runner_->dataSet() && runner_->dataSet()->rowCount() > kFreeAloneRows)
        QtQueryReads::freeAlone(std::move(runner_));
}

QPushButton* QueryWnd::button(const char* text) const {
    return findChild<QPushButton*>(QString::fromUtf8(text));
}

void QueryWnd::fillTables(const String& select) {
    filling_ = true;
    tables_->clear();
    std::vector<String> names;
    try {
        DataSet list;
        connection_.listTables(&list);
        for (int i = 0; i < list.rowCount(); ++i)
            if (const VORLIN::DataRow* row = list.row(i); row && row->count() > 0)
                names.push_back(row->cell(0)->toString());
    } catch (const GeneralException&) {
        // A connection that cannot list its tables offers none.
    }
    int selected = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        tables_->addItem(q(names[i]));
        if (names[i] == select) selected = int(i);
    }
    // The table the window was opened on is the one shown as chosen; never
    // another one in its place.
    tables_->setCurrentIndex(selected >= 0 ? selected : (select.isEmpty() ? 0 : -1));
    editor_->setCompletionWords(names);
    filling_ = false;
}

void QueryWnd::showResult(const String& title) {
    shownTitle_ = title;
    if (runner_->mode() == QueryRunner::Mode::Table)
        grid_->showTable(runner_->tableDataset(), &connection_, title);
    else if (runner_->mode() == QueryRunner::Mode::Query)
        grid_->showQuery(runner_->dataSet(), title);
    else
        grid_->clear();
}

void QueryWnd::showRunnerRows() {
    showResult(shownTitle_);
}

void QueryWnd::runText() {
    if (running()) return;
    // A new row typed into the grid is written before anything else runs.
    if (grid_->rows().pendingChanged()) grid_->commitPending();
    QueryRunner::Job job = runner_->prepare(editor_->text(), transaction_->isChecked());
    if (job.result.kind == QueryClassifier::Kind::Empty) return;
    startLoad(std::move(job));
}

void QueryWnd::startLoad(QueryRunner::Job job) {
    try {
        ConnectionBusy::require(&connection_, label_);
    } catch (const GeneralException& e) {
        MsgBox::alert(String(e.message()));
        return;
    }
    cancelled_ = false;
    arrivingShown_ = false;
    // The window outlives its read unless it gives the read up first.
    load_ = QtQueryReads::start(connection_, std::move(job), [this] { finishRun(); });
    setRunning(true);
}

int QueryWnd::rowsRead() const {
    if (!load_ || !load_->job->arrival) return 0;
    return load_->job->arrival->count();
}

void QueryWnd::tick() {
    if (!load_) return;
    const QueryRunner::Job& job = *load_->job;
    const int rows = job.arrival ? job.arrival->count() : 0;
    if (job.arrival && !arrivingShown_ && rows > 0 && job.arrival->hasShape()) {
        // The first rows: shown now, read-only until the last is in.
        grid_->showArriving(job.rows(), job.arrival,
                            job.result.kind == QueryClassifier::Kind::Table
                                ? job.result.select.table
                                : job.result.text);
        grid_->setEnabled(true);
        arrivingShown_ = true;
        // From now on the count and the scroll bar are what moves: a few
        // updates a second keep the view alive and leave the cores to the
        // reading thread.
        ticker_->setInterval(kArrivingTickMs);
    } else if (arrivingShown_) {
        grid_->rowsAppended(rows);
    }
    if (cancelled_) {
        // Again, in case the first came before the statement had begun.
        connection_.interrupt();
        return;
    }
    const qint64 seconds = elapsed_.elapsed() / 1000;
    if (job.arrival)
        progress_->setText(
            QStringLiteral("Ejecutando… %1 s, %2 filas leídas").arg(seconds).arg(rowCount(rows)));
    else
        progress_->setText(QStringLiteral("Ejecutando… %1 s").arg(seconds));
}

void QueryWnd::cancelRun() {
    if (!running()) return;
    cancelled_ = true;
    progress_->setText(QStringLiteral("Cancelando…"));
    connection_.interrupt();
    // A back end that stops at once ends the run before this; one that
    // cannot stop (the remote service) is left to finish alone.
    std::weak_ptr<QtQueryReads::Read> weak = load_;
    QTimer::singleShot(kCancelGraceMs, this, [this, weak] {
        if (load_ && load_ == weak.lock()) abandonRun(false);
    });
}

void QueryWnd::abandonRun(bool quiet) {
    if (!load_) return;
    QtQueryReads::giveUp(std::move(load_));
    // The grid lets go of the rows still arriving before anything else.
    if (arrivingShown_) showRunnerRows();
    arrivingShown_ = false;
    setRunning(false);
    if (!quiet) {
        MsgBox::info(kCancelled);
        editor_->setFocus();
    }
}

void QueryWnd::setRunning(bool on) {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b != cancel_) b->setEnabled(!on);
    transaction_->setEnabled(!on);
    tables_->setEnabled(!on);
    editor_->setReadOnly(on);
    // The rows of before are not touched while the connection is busy; the
    // rows arriving can be scrolled as soon as they show.
    grid_->setEnabled(!on);
    cancel_->setVisible(on);
    if (on) {
        elapsed_.start();
        ticker_->setInterval(kFirstRowsTickMs);
        progress_->setText(QStringLiteral("Ejecutando…"));
        ticker_->start();
        setCursor(Qt::BusyCursor);
        cancel_->setFocus();
    } else {
        ticker_->stop();
        unsetCursor();
        showRowCount();
    }
}

void QueryWnd::showRowCount() {
    if (running()) return;
    // Between runs the line tells how many rows the grid holds.
    const TGDataset& rows = grid_->rows();
    if (rows.mode() == TGDataset::Mode::None) {
        progress_->clear();
        return;
    }
    const int n = grid_->gridModel().shownRows();
    progress_->setText(n == 1 ? QStringLiteral("1 fila")
                              : QStringLiteral("%1 filas").arg(rowCount(n)));
}

void QueryWnd::finishRun() {
    std::shared_ptr<QtQueryReads::Read> load = std::move(load_);
    if (!load) return;
    if (load->worker.joinable()) load->worker.join();
    load->hold.reset();
    setRunning(false);
    std::unique_ptr<QueryRunner::Job> job = std::move(load->job);
    const QueryClassifier::Result result = job->result;
    bool shown = false;
    try {
        runner_->adopt(*job);
        if (result.kind == QueryClassifier::Kind::Table ||
            result.kind == QueryClassifier::Kind::Query)
            showResult(result.kind == QueryClassifier::Kind::Table ? result.select.table
                                                                   : result.text);
        shown = true;
    } catch (const GeneralException& e) {
        // The rows of before come back.
        if (arrivingShown_) showRunnerRows();
        if (cancelled_)
            MsgBox::info(kCancelled);
        else
            MsgBox::error(String(e.message()));
    }
    arrivingShown_ = false;
    if (shown) {
        if (result.changesTables) {
            fillTables(runner_->mode() == QueryRunner::Mode::Table ? runner_->source() : String());
            if (hooks_.tablesChanged) hooks_.tablesChanged(&connection_);
        }
        if (const char* message = result.message(); message && *message) MsgBox::info(message);
    }
    editor_->setFocus();
}

void QueryWnd::openListedTable(int index) {
    if (filling_ || index < 0 || running()) return;
    const String table(tables_->itemText(index).toUtf8().toStdString());
    if (grid_->rows().pendingChanged()) grid_->commitPending();
    startLoad(runner_->prepareTable(table));
}

void QueryWnd::save() {
    DataSet* rows = runner_->dataSet();
    if (!rows) return;
    const String path =
        VORLIN::FileDialogs::saveFile(ResultSaver::kDialogTitle, ResultSaver::kDialogFilter,
                                      hooks_.workFolder ? hooks_.workFolder() : String());
    if (path.isEmpty()) return;
    if (hooks_.setWorkFolder) hooks_.setWorkFolder(path);
    // A query's rows saved as INSERT statements need a table to name.
    String insertTable;
    if (runner_->mode() == QueryRunner::Mode::Query &&
        ResultSaver::formatOf(path) == ResultSaver::Format::Sql) {
        if (!VORLIN::InputBox::ask("Guardar datos de consulta",
                                   "Tabla de las instrucciones: ", insertTable) ||
            insertTable.isEmpty())
            return;
    }
    try {
        String message;
        {
            VORLIN::WaitCursor wait;
            message = ResultSaver::save(*rows, path, insertTable);
        }
        MsgBox::info(message);
    } catch (const GeneralException& e) {
        MsgBox::error(String(e.message()));
    }
}

void QueryWnd::showSource() {
    String text;
    try {
        text = runner_->sourceText();
    } catch (const GeneralException& e) {
        MsgBox::error(String(e.message()));
        return;
    }
    QSourceDlg dialog(text, this);
    dialog.exec();
}

void QueryWnd::filter() {
    DataSet* rows = runner_->dataSet();
    if (!rows) return;
    QStringList columns;
    for (int i = 0; i < rows->columnCount(); ++i)
        columns << q(rows->columnName(i));
    QFilterDlg dialog(columns, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const String value = dialog.value();
    if (value.isEmpty()) {
        rows->clearFilter();
    } else {
        VORLIN::DataItem item;
        item.setString(value);
        rows->filter(dialog.column(), item, dialog.exact());
    }
    grid_->refresh();
}

void QueryWnd::openDesigner() {
    if (running()) return;
    try {
        ConnectionBusy::require(&connection_, label_);
    } catch (const GeneralException& e) {
        MsgBox::alert(String(e.message()));
        return;
    }
    QueryDesignerDlg dialog(connection_, hooks_.designerMemory ? hooks_.designerMemory() : nullptr,
                            hooks_.workFolder ? hooks_.workFolder() : String(), this);
    if (dialog.exec() == QDialog::Accepted) editor_->replaceText(dialog.sql());
    editor_->setFocus();
}

void QueryWnd::closeEvent(QCloseEvent* event) {
    // A window that is reading closes at once; the read is interrupted and
    // ends alone.
    if (running()) {
        connection_.interrupt();
        abandonRun(true);
    }
    // A pending new row is written before the window goes.
    if (grid_->rows().pendingChanged()) grid_->commitPending();
    QWidget::closeEvent(event);
    if (event->isAccepted() && hooks_.closing) hooks_.closing(this);
}
