#include "script/Rutina.h"

#include <cstdio>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "script/FunctionCompiler.h"
#include "script/ScriptFunction.h"
#include "script/ScriptHost.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

ScriptHost& silentHost() {
    static ScriptHost host;
    return host;
}

// The item a reference argument designates, or null when it leads nowhere.
// A reference with a member path designates that member of the object the
// variable holds: a variable without an object, or an object without that
// member, is no valid argument (its plain value is not what was named).
DataItem* designated(const DataItem& arg) {
    auto& ref = const_cast<DataItem&>(arg);
    Variable* v = Variable::referencedVariable(ref);
    if (!v || ref.auxText().isEmpty()) return Variable::followTarget(ref);
    const DataItem& holder = Variable::follow(v->value());
    Interfasable* object = holder.type() == DataItem::TObj ? holder.getObj() : nullptr;
    DataItem* member = object ? object->getMemberItem(ref.auxText()) : nullptr;
    return member ? Variable::followTarget(*member) : nullptr;
}

}  // namespace

Rutina::Rutina(ScriptHost* host) : host_(host ? host : &silentHost()) {}

Rutina::~Rutina() = default;

void Rutina::clear() {
    functions_.clear();
}

ScriptFunction* Rutina::functionAt(int i) const noexcept {
    return (i >= 0 && i < functionCount()) ? functions_[size_t(i)].get() : nullptr;
}

ScriptFunction* Rutina::findFunction(TextRef name) const noexcept {
    for (const auto& f : functions_)
        if (f->view() == name.view()) return f.get();
    return nullptr;
}

void Rutina::reportError(const String& text) {
    ++errorReports_;
    host_->showMessage(text, "ERROR");
}

String Rutina::load(const String& text) {
    clear();
    std::vector<ScriptBlock> blocks;
    String error = ScriptBlock::split(text, blocks);
    for (const ScriptBlock& b : blocks) {
        try {
            auto f = std::make_unique<ScriptFunction>(b.name, b.arguments, this);
            FunctionCompiler(*f, b.body).compile();
            functions_.push_back(std::move(f));
        } catch (const GeneralException& e) {
            clear();
            return String(e.message());
        }
    }
    return error;
}

DataItem Rutina::runMain(const String& text) {
    String error = load(text);
    if (!error.isEmpty()) {
        reportError(error);
        return DataItem();
    }
    ScriptFunction* main = findFunction("main");
    if (!main) {
        reportError("No se encontró la función main");
        return DataItem();
    }
    return main->run(nullptr);
}

String Rutina::listing(const String& name) const {
    ScriptFunction* f = findFunction(name);
    return f ? f->listing() : String();
}

bool Rutina::writeListing(const String& text, const String& path) {
    String error = load(text);
    if (!error.isEmpty()) {
        reportError(error);
        return false;
    }
    ScriptFunction* main = findFunction("main");
    if (!main) {
        reportError("No se encontró la función main");
        return false;
    }
    String body = main->listing();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        String m;
        m.format("Rutina.writeListing: no se pudo crear %s", path.c_str());
        reportError(m);
        return false;
    }
    bool ok = std::fwrite(body.c_str(), 1, body.length(), file) == body.length();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

DataItem Rutina::execute(const String& name, const DataRow* args) {
    ScriptFunction* f = findFunction(name);
    if (!f) return DataItem();
    std::unique_ptr<DataRow> values;
    if (args) {
        values = std::make_unique<DataRow>(args->count());
        for (int i = 0; i < args->count(); ++i) {
            const DataItem& arg = *args->cell(i);
            if (Variable::isFollowed(arg)) {
                DataItem* at = designated(arg);
                if (!at)
                    throw GeneralException::format("%s: Bad argument: %s", f->c_str(),
                                                   arg.auxText().c_str());
                values->cell(i)->copyFrom(*at);
            } else {
                values->cell(i)->copyFrom(arg);
            }
        }
    }
    return f->run(values.get());
}

}  // namespace VORLIN
