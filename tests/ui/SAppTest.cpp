// The message loop's idle pass, commands and events, on real Qt widgets.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "ui/Command.h"
#include "ui/Event.h"
#include "ui/MsgBox.h"
#include "ui/SApp.h"

using namespace VORLIN;

namespace {

int argc0 = 1;
char arg0[] = "ui_tests";
char* argv0[] = {arg0, nullptr};

struct Window {
    std::vector<std::string> log;
    int state = CommandBase::kEnabled;
    int stateAsked = 0;

    void open() { log.push_back("open"); }
    void fail() { throw GeneralException("Window.fail: no se pudo"); }
    int32_t openState(QAction*, int32_t) {
        ++stateAsked;
        return state;
    }
    void closed(void* a, void* b) {
        log.push_back("closed " + std::to_string(reinterpret_cast<intptr_t>(a)) + " " +
                      std::to_string(reinterpret_cast<intptr_t>(b)));
    }
};

// Lets Qt deliver what is queued, then tells the application the queue is
// empty, as the dispatcher does before it blocks.
void drain(SApp& app) {
    QCoreApplication::processEvents();
    app.queueEmpty();
}

}  // namespace

TEST(SApp, OneApplicationPerProcess) {
    SApp app(argc0, argv0);
    EXPECT_EQ(SApp::instance(), &app);
    try {
        SApp second(argc0, argv0);
        FAIL() << "a second application was accepted";
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "Instance already running");
    }
    EXPECT_EQ(SApp::instance(), &app);
}

TEST(SApp, EventsRunOnePerPassInPostingOrderKeepingEachFiringsArguments) {
    SApp app(argc0, argv0);
    Window w;
    Event<Window> closing(&w, &Window::closed);
    // Two windows close in the same burst: both firings wait.
    closing.fire(reinterpret_cast<void*>(1), reinterpret_cast<void*>(10));
    closing.fire(reinterpret_cast<void*>(2), reinterpret_cast<void*>(20));
    EXPECT_EQ(closing.waitingCount(), 2);
    EXPECT_EQ(app.commandCount(), 2);

    const int before = app.idlePasses();
    app.idle();
    ASSERT_EQ(w.log.size(), 1u);
    EXPECT_EQ(w.log[0], "closed 1 10");
    app.idle();
    ASSERT_EQ(w.log.size(), 2u);
    EXPECT_EQ(w.log[1], "closed 2 20");
    EXPECT_EQ(app.idlePasses() - before, 2);
    app.idle();
    EXPECT_EQ(w.log.size(), 2u);
    EXPECT_EQ(app.commandCount(), 0);
}

TEST(SApp, TheRealLoopRunsWaitingEventsWithoutInput) {
    SApp app(argc0, argv0);
    Window w;
    Event<Window> closing(&w, &Window::closed);
    closing.fire(reinterpret_cast<void*>(1), nullptr);
    closing.fire(reinterpret_cast<void*>(2), nullptr);
    closing.fire(reinterpret_cast<void*>(3), nullptr);
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_EQ(w.log.size(), 3u);
    EXPECT_EQ(w.log[0], "closed 1 0");
    EXPECT_EQ(w.log[2], "closed 3 0");
}

TEST(SApp, MouseMovesDoNotRearmTheIdlePassButAKeyPressDoes) {
    SApp app(argc0, argv0);
    QWidget widget;
    widget.resize(200, 100);
    widget.show();
    // Until showing the window has nothing more to deliver.
    for (int i = 0; i < 20; ++i) {
        const int before = app.idlePasses();
        drain(app);
        if (app.idlePasses() == before) break;
    }
    ASSERT_FALSE(app.idleArmed());
    const int passes = app.idlePasses();
    for (int i = 0; i < 20; ++i) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5 + i, 5), QPointF(5 + i, 5), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&widget, &move);
    }
    app.queueEmpty();
    EXPECT_EQ(app.idlePasses(), passes);

    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(&widget, &key);
    app.queueEmpty();
    EXPECT_EQ(app.idlePasses(), passes + 1);
    app.queueEmpty();
    EXPECT_EQ(app.idlePasses(), passes + 1);
}

TEST(SApp, StateRefreshRedrawsOnlyWhenTheStateChanges) {
    SApp app(argc0, argv0);
    Window w;
    QAction menu(QStringLiteral("Abrir"));
    QAction button(QStringLiteral("Abrir"));
    int changedSignals = 0;
    QObject::connect(&menu, &QAction::changed, [&] { ++changedSignals; });
    Command<Window> open(&w, &Window::open, &Window::openState);
    open.link(&menu, &button);
    app.post(&open);

    w.state = 0;
    app.idle();
    EXPECT_FALSE(menu.isEnabled());
    EXPECT_FALSE(button.isEnabled());
    EXPECT_EQ(open.redrawCount(), 2);
    const int emitted = changedSignals;
    for (int i = 0; i < 5; ++i)
        app.idle();
    EXPECT_EQ(open.redrawCount(), 2);
    EXPECT_EQ(changedSignals, emitted);
    EXPECT_EQ(w.stateAsked, 12);

    w.state = CommandBase::kEnabled;
    app.idle();
    EXPECT_TRUE(menu.isEnabled());
    EXPECT_EQ(open.redrawCount(), 4);
    menu.trigger();
    button.trigger();
    EXPECT_EQ(w.log, (std::vector<std::string>{"open", "open"}));
}

TEST(SApp, WhatThePostKeepsAndWhatADyingCommandTakesAway) {
    SApp app(argc0, argv0);
    Window w;
    Command<Window> plain(&w, &Window::open);
    app.post(&plain);
    EXPECT_EQ(app.commandCount(), 0);  // no state, no hot key
    {
        Command<Window> withKey(&w, &Window::open, nullptr, "Ctrl+O");
        app.post(&withKey);
        EXPECT_EQ(app.commandCount(), 1);
        auto event = std::make_unique<Event<Window>>(&w, &Window::closed);
        event->fire(nullptr, nullptr);
        event->fire(nullptr, nullptr);
        EXPECT_EQ(app.commandCount(), 3);
        event.reset();
        EXPECT_EQ(app.commandCount(), 1);
    }
    EXPECT_EQ(app.commandCount(), 0);
    app.idle();
    EXPECT_TRUE(w.log.empty());
}

TEST(SApp, AFailingCommandShowsItsTextInAnErrorBox) {
    SApp app(argc0, argv0);
    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        shown.push_back(s);
        return 0;
    });
    Window w;
    QAction action(QStringLiteral("Fallar"));
    Command<Window> fail(&w, &Window::fail);
    fail.link(&action);
    action.trigger();
    MsgBox::setResponder({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Window.fail: no se pudo");
    EXPECT_EQ(shown[0].icon, "ERROR");
}
