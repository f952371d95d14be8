#include "app/main/ZaRavApp.h"

#include <QCoreApplication>
#include <QStringList>

#include "app/connect/AboutDlg.h"
#include "app/connect/QtConnectionDialogs.h"
#include "app/connect/SelMySqlDlg.h"
#include "app/connect/SelServerDlg.h"
#include "app/main/AppPaths.h"
#include "app/main/ConfigStore.h"
#include "app/main/MainWnd.h"
#include "app/main/UiPorts.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "db/DbConnection.h"
#include "remote/TcpSocket.h"
#include "script/ItemTable.h"
#include "script/ScriptRegisters.h"
#include "script/ScriptSession.h"
#include "ui/ColorScheme.h"
#include "ui/ImageStore.h"
#include "ui/MsgBox.h"
#include "ui/QtScriptHost.h"

namespace VORLIN {

namespace {

ZaRavApp* theApp = nullptr;

}  // namespace

ZaRavApp::ZaRavApp(int& argc, char** argv) : SApp(argc, argv) {
    // Sockets (the remote service): a closed peer must not end the process.
    TcpSocket::initialize();

    startFolder_ = AppPaths::startFolder();
    workFolder_ = startFolder_;
    version_ = kVersion;

    // Pictures: the appended block of the program file, else the resource
    // files of the start folder; the built-in ones fill every gap.
    if (ImageStore::loadAppendedBlock("/proc/self/exe") == 0) {
        ImageStore::loadXmlResources(startFolder_ + String("zarav.xml"));
        ImageStore::loadXmlResources(startFolder_ + String("res.xml"));
    }

    // The script engine on the desktop's host.
    host_ = std::make_unique<QtScriptHost>();
    host_->setStartFolder(workFolder_);
    host_->setFinder([this](const String& name) { return findConnection(name); });
    session_ = std::make_unique<ScriptSession>(*host_);

    userFolder_ = AppPaths::userFolder(true);
    store_ = std::make_unique<ConfigStore>();
    if (store_->open(userFolder_)) {
        if (DataItem* config = ScriptRegisters::cell(ScriptRegisters::Config))
            config->setObj(&store_->configTable(), false);
    } else {
        storeError_ = String("No se pudo abrir la configuración ") + store_->path() + String(": ") +
                      store_->lastError();
    }

    ColorScheme scheme;
    DataRow solid;
    DataRow gradient;
    if (store_->loadColorScheme(solid, gradient)) scheme.setLists(solid, gradient);
    ColorScheme::apply(scheme);

    connectionWindows_ =
        std::make_unique<QtConnectionDialogs>(store_->isOpen() ? store_.get() : nullptr);
    ports_ = std::make_unique<UiPorts>();
    ports_->install({[this] { return workFolder_; }, connectionWindows_.get()});

    MainWndLogic::Environment environment;
    environment.adopt = [this](std::unique_ptr<DbConnection> c) {
        return addConnection(std::move(c));
    };
    environment.workFolder = [this] { return workFolder_; };
    environment.setWorkFolder = [this](const String& folder) { setWorkFolder(folder); };
    environment.prepare = [this](DbConnection& c) { ports_->prepare(c); };
    MainWnd::Dialogs dialogs;
    dialogs.server = [this](int kind, DbConnection& connection, String& host, int& port,
                            String& database, QWidget* parent) {
        ConfigStore* store = store_->isOpen() ? store_.get() : nullptr;
        std::unique_ptr<QtServerDialog> dialog;
        if (kind == MainWndLogic::MySql)
            dialog = std::make_unique<SelMySqlDlg>(connection, port, host, store, parent);
        else
            dialog = std::make_unique<SelServerDlg>(connection, port, host, store, parent);
        if (dialog->exec() != QDialog::Accepted) return false;
        host = dialog->host();
        port = dialog->port();
        database = dialog->database();
        return true;
    };
    dialogs.about = [this](QWidget* parent) {
        AboutDlg about(version_, parent);
        about.exec();
    };
    dialogs.storeColors = [this](const DataRow& solid, const DataRow& gradient) {
        store_->saveColorScheme(solid, gradient);
    };
    mainWnd_ =
        std::make_unique<MainWnd>(std::move(environment), std::move(dialogs), session_.get());
    host_->setOutput([this](const String& text, bool) {
        if (mainWnd_) mainWnd_->print(text);
    });
    const char* kinds[5] = {"DB_SOLUCION", "DB_LOCAL", "DB_SERVER", "DB_MYSQL", "DB_ODBC"};
    for (int i = 0; i < 5; ++i)
        kindImages_[i] = ImageStore::icon(kinds[i]);
    setMainWindow(mainWnd_.get());
    theApp = this;
}

ZaRavApp::~ZaRavApp() {
    theApp = nullptr;
    // Windows that point at connections go first.
    setMainWindow(nullptr);
    mainWnd_.reset();
    host_->setOutput({});
    ports_->uninstall();
    connectionWindows_.reset();
    closeConnections();
    if (DataItem* config = ScriptRegisters::cell(ScriptRegisters::Config)) config->setNull();
    store_.reset();
    session_.reset();
    host_.reset();
    try {
        TcpSocket::terminate();
    } catch (const GeneralException&) {
    }
}

ZaRavApp* ZaRavApp::instance() noexcept {
    return theApp;
}

int ZaRavApp::run() {
    if (mainWnd_) {
        mainWnd_->show();
        mainWnd_->raise();
        mainWnd_->activateWindow();
    }
    if (!storeError_.isEmpty() && !storeReported_) {
        storeReported_ = true;
        MsgBox::show(storeError_, "ALERT", "ALERT");
    }
    // Files named on the command line open as "Sqlite local" opens them.
    if (!filesOpened_ && mainWnd_) {
        filesOpened_ = true;
        QStringList args = QCoreApplication::arguments();
        std::vector<String> files;
        for (int i = 1; i < args.size(); ++i)
            files.emplace_back(args[i].toUtf8().toStdString());
        if (!files.empty()) mainWnd_->logic().openFiles(files);
    }
    return SApp::run();
}

void ZaRavApp::setWorkFolder(const String& folder) {
    workFolder_ = AppPaths::withSlash(folder);
    host_->setStartFolder(workFolder_);
    ports_->workFolderChanged();
}

DbConnection* ZaRavApp::addConnection(std::unique_ptr<DbConnection> connection) {
    if (!connection) return nullptr;
    connections_.push_back(std::move(connection));
    return connections_.back().get();
}

DbConnection* ZaRavApp::findConnection(const String& name) const {
    for (const auto& c : connections_)
        if (c->getLabel() == name) return c.get();
    for (const auto& c : connections_)
        if (c->getAlias() == name) return c.get();
    return nullptr;
}

void ZaRavApp::closeConnections() {
    for (auto& c : connections_) {
        try {
            c->disconnect();
        } catch (const GeneralException&) {
            // Closing at exit reports nothing: the program is ending.
        }
        c.reset();
    }
    connections_.clear();
}

}  // namespace VORLIN
