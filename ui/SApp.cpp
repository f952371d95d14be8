#include "ui/SApp.h"

#include <algorithm>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QWidget>

#include "core/GeneralException.h"
#include "ui/CommandBase.h"
#include "ui/MsgBox.h"

namespace VORLIN {

namespace {

SApp* theApp = nullptr;

// The event the application posts to itself to get another idle pass.
const QEvent::Type kWakeEvent = QEvent::Type(QEvent::User + 1);

}  // namespace

// Sees every event the application delivers (an application-wide event
// filter) to arm the idle pass, and receives the wake-up event.
class SApp::Filter : public QObject {
public:
    explicit Filter(SApp& app) : app_(app) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        app_.noteEvent(int(event->type()));
        return QObject::eventFilter(watched, event);
    }

    bool event(QEvent* event) override {
        if (event->type() == kWakeEvent) {
            app_.wakePosted_ = false;
            return true;
        }
        return QObject::event(event);
    }

private:
    SApp& app_;
};

SApp::SApp(int& argc, char** argv) {
    if (theApp) throw GeneralException("Instance already running");
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qtApp_ = existing;
    } else {
        ownedApp_ = std::make_unique<QApplication>(argc, argv);
        qtApp_ = ownedApp_.get();
    }
    theApp = this;

    // The toolkit's default face, where the system has it.
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        QFont font(QStringLiteral("Tahoma"));
        font.setPixelSize(13);
        QApplication::setFont(font);
    }

    filter_ = std::make_unique<Filter>(*this);
    qtApp_->installEventFilter(filter_.get());
    if (auto* dispatcher = QAbstractEventDispatcher::instance(qtApp_->thread())) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, filter_.get(),
                         [this] { queueEmpty(); });
    }
}

SApp::~SApp() {
    if (qtApp_) qtApp_->removeEventFilter(filter_.get());
    filter_.reset();
    commands_.clear();
    theApp = nullptr;
    ownedApp_.reset();
}

SApp* SApp::instance() noexcept {
    return theApp;
}

int SApp::run() {
    if (mainWindow_) {
        mainWindow_->show();
        mainWindow_->raise();
        mainWindow_->activateWindow();
    }
    return QApplication::exec();
}

void SApp::post(CommandBase* command) {
    if (!command) return;
    if (command->isEvent() || command->hasState() || !command->hotKey().empty()) {
        commands_.push_back(command);
        // A newly posted event must not wait for the next user input.
        if (command->isEvent()) wake();
    }
}

void SApp::remove(CommandBase* command) {
    commands_.erase(std::remove(commands_.begin(), commands_.end(), command), commands_.end());
}

bool SApp::idle() {
    if (inPass_) return true;
    inPass_ = true;
    ++idlePasses_;
    // By index: a state operation or an event may post or remove entries.
    for (size_t i = 0; i < commands_.size(); ++i) {
        CommandBase* entry = commands_[i];
        if (entry->isEvent()) {
            commands_.erase(commands_.begin() + long(i));
            try {
                entry->runPending();
            } catch (const GeneralException& e) {
                MsgBox::error(String(e.message()));
            }
            break;
        }
        if (entry->hasState()) {
            try {
                entry->updateState();
            } catch (const GeneralException&) {
                // A state that cannot be computed leaves the controls as they are.
            }
        }
    }
    inPass_ = false;
    // Events still waiting get their own pass.
    if (std::any_of(commands_.begin(), commands_.end(),
                    [](const CommandBase* c) { return c->isEvent(); })) {
        wake();
    }
    return true;
}

void SApp::queueEmpty() {
    if (!armed_) return;
    armed_ = false;
    idle();
}

void SApp::noteEvent(int type) {
    switch (type) {
        case QEvent::MouseMove:
        case QEvent::HoverMove:
        case QEvent::NonClientAreaMouseMove:
            return;
        default:
            armed_ = true;
    }
}

void SApp::wake() {
    if (wakePosted_ || !filter_) return;
    wakePosted_ = true;
    QCoreApplication::postEvent(filter_.get(), new QEvent(kWakeEvent));
}

}  // namespace VORLIN
