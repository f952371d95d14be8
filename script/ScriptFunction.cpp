#include "script/ScriptFunction.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/GeneralException.h"
#include "script/OCFlow.h"
#include "script/ObjectCollector.h"
#include "script/Rutina.h"
#include "script/ScriptRegisters.h"
#include "script/ScriptTrace.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

// Nested runs in progress, and whether they are all being ended because
// the nesting went too deep.
int gDepth = 0;
bool gAborting = false;
// Instructions the outermost run carried out, and the limit (0: none).
unsigned long long gSteps = 0;
unsigned long long gStepLimit = 0;

std::vector<ScriptFunction*>& liveList() {
    static std::vector<ScriptFunction*> list;
    return list;
}

DataItem& registerCell(ScriptRegisters::Cell c) {
    static DataItem spare;  // only when there is no registers row
    DataItem* cell = ScriptRegisters::cell(c);
    return cell ? *cell : spare;
}

class DepthGuard {
public:
    DepthGuard() {
        if (gDepth++ == 0) gSteps = 0;
    }
    ~DepthGuard() {
        if (--gDepth == 0) {
            gAborting = false;
            ObjectCollector::releasePending();
        }
    }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
};

}  // namespace

// A run of a function that is already running (a recursive call) must not
// leave the caller with the callee's arguments and declared variables: their
// values are set aside while it runs, the nested run starting from copies of
// them (as a later run would), and come back when it ends. Objects the
// nested run left in them are displaced like any overwritten object.
class ScriptFunction::CallerValues {
public:
    explicit CallerValues(ScriptFunction& f) {
        for (int i = 0; i < f.argumentCount_; ++i)
            keep(*f.arguments_->cell(i));
        for (int i = 0; i < f.variables_.count(); ++i) {
            Variable* v = f.variables_.at(i);
            if (!v->isBound()) keep(v->value());
        }
    }
    ~CallerValues() {
        for (auto& [item, value] : kept_)
            ObjectCollector::store(*item, std::move(value));
    }
    CallerValues(const CallerValues&) = delete;
    CallerValues& operator=(const CallerValues&) = delete;

private:
    void keep(DataItem& item) {
        // The caller's value, with the object it owns, waits here; the item
        // keeps a copy that owns nothing.
        kept_.emplace_back(&item, std::move(item));
        item.copyFrom(kept_.back().second);
    }

    std::vector<std::pair<DataItem*, DataItem>> kept_;
};

ScriptFunction::ScriptFunction(const String& name, const std::vector<String>& arguments,
                               Rutina* rutina)
    : String(name),
      rutina_(rutina),
      argumentCount_(int(arguments.size())),
      arguments_(std::make_unique<DataRow>(int(arguments.size()))) {
    variables_.add("this")->bind(&self_);
    for (size_t i = 0; i < arguments.size(); ++i)
        variables_.add(arguments[i])->bind(arguments_->cell(int(i)));
    for (int c = 0; c < ScriptRegisters::kCount; ++c)
        variables_.add(ScriptRegisters::kNames[c])->bind(&registerCell(ScriptRegisters::Cell(c)));
    liveList().push_back(this);
}

ScriptFunction::~ScriptFunction() {
    auto& list = liveList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    // The objects the function's own values own may still be pointed at by
    // the registers, other functions' variables or the cells of living
    // objects: they die through the collector, which clears those
    // references first, and not with the variables.
    for (int i = 0; i < argumentCount_; ++i)
        ObjectCollector::dropOwned(*arguments_->cell(i));
    for (int i = 0; i < variables_.count(); ++i) {
        Variable* v = variables_.at(i);
        if (!v->isBound()) ObjectCollector::dropOwned(v->value());
    }
    // Instructions first: they point at the variables.
    code_.clear();
    variables_.clear();
}

Variable* ScriptFunction::declare(const String& name) {
    Variable* v = variables_.find(name);
    return v ? v : variables_.add(name);
}

int ScriptFunction::add(std::unique_ptr<OpCode> op) {
    op->setFunction(this);
    code_.push_back(std::move(op));
    return size() - 1;
}

const std::vector<ScriptFunction*>& ScriptFunction::liveFunctions() noexcept {
    return liveList();
}

void ScriptFunction::report(const String& message) {
    String text;
    text.format("Metodo: %s\r\n%s", c_str(), message.c_str());
    ObjectCollector::store(registerCell(ScriptRegisters::LastError), DataItem(text));
    if (ScriptTrace::enabled()) ScriptTrace::fail(text);
    if (rutina_) rutina_->reportError(text);
}

void ScriptFunction::traceStep(OpCode& op, int position) {
    String entry = OpCode::identity(position);
    entry.append("  ");
    entry.append(op.listing(String()));
    if (DataItem* t = op.targetItemOrNull()) {
        entry.append("\r\n          ");
        // An object is written as its kind only: its address would make
        // two traces of one run differ.
        entry.append(t->type() == DataItem::TObj ? String("*Obj*") : t->text());
    }
    entry.append("\r\n");
    ScriptTrace::write(entry);
}

void ScriptFunction::setStepLimit(unsigned long long steps) noexcept {
    gStepLimit = steps;
}

ScriptFunction::Outcome ScriptFunction::runRange(int from, int stop, String& message, int* exitAt) {
    int i = from;
    while (i >= from && i < stop && i < size()) {
        if (gAborting) return Outcome::Aborted;
        if (gStepLimit && ++gSteps > gStepLimit) {
            // Reported here and not as a failure: a TRY block must not
            // catch it.
            String m;
            m.format("Ejecución detenida: más de %llu instrucciones", gStepLimit);
            report(m);
            gAborting = true;
            return Outcome::Aborted;
        }
        OpCode& op = *code_[size_t(i)];
        try {
            if (op.tryBlock()) {
                if (ScriptTrace::enabled()) traceStep(op, i);
                i = runTry(i);
                continue;
            }
            int pos = i;
            bool ok = op.run(pos);
            if (ScriptTrace::enabled()) traceStep(op, i);
            if (op.isReturn()) return Outcome::Returned;
            if (!ok) {
                message = OpCode::lastErrorText();
                return Outcome::Failed;
            }
            i = pos + 1;
            // Between two instructions of the outermost run nothing but
            // the scripts' own values points at displaced objects.
            if (gDepth == 1) ObjectCollector::releaseIfDue();
        } catch (const GeneralException& e) {
            message = String(e.message());
            return Outcome::Failed;
        } catch (const std::exception& e) {
            message = String(e.what());
            return Outcome::Failed;
        }
    }
    if (exitAt) *exitAt = i;
    return Outcome::Ended;
}

int ScriptFunction::runTry(int at) {
    auto& open = static_cast<OCTry&>(*code_[size_t(at)]);
    int marker = open.catchMarker();
    int end = open.end();
    if (marker < 0 || end < 0) throw GeneralException("TRY sin CATCH");
    String message;
    // A BREAK or CONTINUE inside the block leaves it by a jump: the run
    // goes on where that jump leads.
    int exitAt = marker;
    Outcome outcome = runRange(at + 1, marker, message, &exitAt);
    if (outcome == Outcome::Aborted) return size();
    if (outcome == Outcome::Returned) return size();
    if (outcome != Outcome::Failed)
        return exitAt;  // at the marker its jump skips the CATCH section

    String text;
    text.format("Metodo: %s\r\n%s", c_str(), message.c_str());
    ObjectCollector::store(registerCell(ScriptRegisters::LastError), DataItem(text));
    String again;
    exitAt = end;
    outcome = runRange(marker + 1, end, again, &exitAt);
    if (outcome == Outcome::Aborted || outcome == Outcome::Returned) return size();
    if (outcome == Outcome::Failed) throw GeneralException(again.toStdString());
    return exitAt;
}

DataItem ScriptFunction::run(const DataRow* args) {
    DataItem& result = registerCell(ScriptRegisters::Return);
    if (gAborting) return DataItem(result);
    if (gDepth >= Rutina::kMaxCallDepth) {
        String m;
        m.format("Metodo %s - Demasiadas llamadas anidadas", c_str());
        report(m);
        if (gDepth > 0) gAborting = true;
        return DataItem(result);
    }
    DepthGuard guard;
    std::optional<CallerValues> caller;
    if (running_ > 0) caller.emplace(*this);
    struct Running {
        int& count;
        explicit Running(int& c) : count(c) { ++count; }
        ~Running() { --count; }
    } running(running_);

    // 1. Arguments.
    if (args && args->count() != argumentCount_) {
        String m;
        m.format("Metodo %s - Numero de argumentos incorrecto", c_str());
        report(m);
        return DataItem(result);
    }
    if (!args && argumentCount_ > 0) {
        String m;
        m.format("Metodo %s - Faltan los argumentos de la función", c_str());
        report(m);
        return DataItem(result);
    }
    for (int i = 0; i < argumentCount_; ++i) {
        // Copied out first: the argument may be a reference to the cell
        // it replaces (a function passing its own argument to itself).
        DataItem value(Variable::follow(*args->cell(i)));
        ObjectCollector::store(*arguments_->cell(i), std::move(value));
    }

    // 2. The shared cells of a run. An object they owned waits for the end
    // of the run like any displaced one.
    ObjectCollector::store(result, DataItem());
    self_.setObj(rutina_, false);
    ObjectCollector::store(registerCell(ScriptRegisters::Parent),
                           rutina_ ? rutina_->getParent() : DataItem());
    DataItem dlg;
    dlg.setObj(rutina_ ? rutina_->getOwner() : nullptr, false);
    ObjectCollector::store(registerCell(ScriptRegisters::Dlg), std::move(dlg));

    // 3. The instructions.
    String message;
    if (runRange(0, size(), message) == Outcome::Failed) report(message);
    // An object "_RETURN_" owns goes to a calling script with the result, so
    // that the next run, which clears "_RETURN_", does not take it away. The
    // outermost run keeps it in "_RETURN_" (until the next run or the end of
    // the session): its caller is no script, and an object it deleted would
    // leave the references the run made to it dangling.
    DataItem& r = registerCell(ScriptRegisters::Return);
    DataItem out(r);
    if (r.type() == DataItem::TObj && r.ownsObject() && gDepth > 1) {
        r.setOwnsObject(false);
        out.setOwnsObject(true);
    }
    return out;
}

String ScriptFunction::listing() const {
    String s("METODO: ");
    s.append(*this);
    s.append("\r\nARGUMENTOS: ");
    for (int i = 0; i < argumentCount_; ++i) {
        if (i > 0) s.append(", ");
        s.append(DataItem::typeName(arguments_->cell(i)->type()));
    }
    s.append("\r\n\r\n");
    for (int i = 0; i < size(); ++i) {
        s.append(OpCode::identity(i));
        s.append("  ");
        s.append(code_[size_t(i)]->listing(String()));
        s.append("\r\n");
    }
    return s;
}

}  // namespace VORLIN
