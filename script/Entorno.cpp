#include "script/Entorno.h"

#include <unordered_set>

#include "core/DateTime.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "script/FunctionRegistry.h"
#include "script/MemberTables.h"
#include "script/ObjectCollector.h"
#include "script/ScriptArgs.h"
#include "script/ScriptHost.h"
#include "script/ScriptRegisters.h"
#include "script/ScriptTrace.h"

namespace VORLIN {

namespace {

// The host of an environment made without one: shows nothing, answers no.
ScriptHost& silentHost() {
    static ScriptHost host;
    return host;
}

// A padding width read from a script: nothing to pad below 1, a failure
// above the limit (a width of a few billion would take the memory).
uint32_t paddingWidth(const char* member, int32_t width) {
    if (width > Entorno::kMaxWidth)
        throw GeneralException::format("app.%s: ancho fuera de rango (%d)", member, width);
    return width > 0 ? uint32_t(width) : 0;
}

DataItem boolItem(bool b) {
    DataItem item;
    item.setBool(b);
    return item;
}

}  // namespace

Entorno::Entorno(ScriptHost* host) : host_(host ? host : &silentHost()) {}

Entorno::~Entorno() {
    // The shared registers must not keep pointing at a dead environment.
    for (ScriptRegisters::Cell c : {ScriptRegisters::Gestor, ScriptRegisters::App}) {
        DataItem* cell = ScriptRegisters::cell(c);
        if (cell && cell->type() == DataItem::TObj && cell->getObj() == this) cell->setNull();
    }
    // Every object a value refers to dies with the environment, owned or
    // not. Each object is deleted once even when several values refer to
    // it, and a value that refers to the environment itself is skipped.
    std::vector<Interfasable*> objects;
    std::unordered_set<Interfasable*> seen;
    for (auto& value : values_) {
        if (value->type() == DataItem::TObj) {
            Interfasable* object = value->getObj();
            if (object && object != this && seen.insert(object).second) objects.push_back(object);
            value->setOwnsObject(false);
        }
        value->setNull();
    }
    for (Interfasable* object : objects)
        delete object;
}

int32_t Entorno::classNumber() {
    return MemberTables::classNumber(MemberTables::Entorno);
}

void Entorno::setHost(ScriptHost* host) {
    host_ = host ? host : &silentHost();
}

DataItem* Entorno::addValue(const String& name, DataItem value) {
    names_.push_back(name);
    values_.push_back(std::make_unique<DataItem>(std::move(value)));
    return values_.back().get();
}

DataItem* Entorno::findValue(std::string_view name) noexcept {
    for (size_t i = 0; i < names_.size(); ++i)
        if (names_[i].view() == name) return values_[i].get();
    return nullptr;
}

DataItem* Entorno::getMemberItem(const String& name) {
    int dot = name.findChar('.');
    if (dot <= 0) return findValue(name.view());
    DataItem* head = findValue(name.view().substr(0, size_t(dot)));
    if (!head || head->type() != DataItem::TObj) return nullptr;
    Interfasable* object = head->getObj();
    return object ? object->getMemberItem(name.mid(uint32_t(dot) + 1)) : nullptr;
}

void Entorno::reportOwned(OwnedParts& parts) {
    for (auto& value : values_)
        parts.value(value.get());
}

bool Entorno::hasMember(const String& name) {
    return FunctionRegistry::instance().findFunctionIndex(classNumber(), name) >= 0;
}

DataItem Entorno::execute(const String& name, const DataRow* args) {
    int32_t index = FunctionRegistry::instance().findFunctionIndex(classNumber(), name);
    if (index < 0) return DataItem();  // not a member of "app": no failure

    switch (index) {
        case ShowMessage: {
            String text = ScriptArgs::text(args, 0);
            String caption = ScriptArgs::has(args, 1) ? ScriptArgs::text(args, 1) : String("INFO");
            if (!text.isEmpty()) host_->showMessage(text, caption);
            return DataItem();
        }
        case Confirm: {
            String text = ScriptArgs::text(args, 0);
            return boolItem(host_->confirm(text, "ASK", "NO"));
        }
        case GetTime:
            return DataItem(DateTime::now().format("%H:%N"));
        case Combine: {
            String text = ScriptArgs::text(args, 0);
            int32_t number = ScriptArgs::toInt(args, 1);
            uint32_t width = paddingWidth("combine", ScriptArgs::toInt(args, 2));
            // The sign belongs to the padded text: -7 in width 4 is "00-7".
            String digits;
            digits.appendInt(number);
            digits.padLeft(width, '0');
            text.append(digits);
            return DataItem(text);
        }
        case AddCaracter: {
            DataItem* target = ScriptArgs::variable(args, 0);
            uint32_t width = paddingWidth("addCaracter", ScriptArgs::toInt(args, 1));
            String fill = ScriptArgs::text(args, 2);
            if (target) {
                String text = target->text();
                text.padLeft(width, fill.isEmpty() ? ' ' : fill.c_str()[0]);
                // An object the variable owned waits for the end of the run,
                // as other values may still refer to it.
                ObjectCollector::store(*target, DataItem(text));
            }
            return DataItem();
        }
        case SetWaitCursor:
            host_->setWaitCursor(ScriptArgs::toBool(args, 0));
            return DataItem();
        case PrintMsg: {
            String text = ScriptArgs::text(args, 0);
            host_->printMessage(text, ScriptArgs::toBool(args, 1));
            return DataItem();
        }
        case Break:
            return DataItem();  // a place for a breakpoint
        case Trace:
            ScriptTrace::setEnabled(ScriptArgs::toBool(args, 0));
            return DataItem();
        default:
            throw GeneralException::format("app.%s not defined", name.c_str());
    }
}

}  // namespace VORLIN
