#include "script/AdmObjInstance.h"

#include "core/GeneralException.h"
#include "script/AdmObjExpanded.h"
#include "script/FunctionRegistry.h"
#include "script/MemberTables.h"
#include "script/ObjectCollector.h"
#include "script/ScriptArgs.h"
#include "script/TableDef.h"

namespace VORLIN {

namespace {

DataItem reference(Interfasable* object) {
    DataItem d;
    d.setObj(object, false);
    return d;
}

}  // namespace

AdmObjInstance::AdmObjInstance(std::shared_ptr<TableDef> def, Interfasable* owner, int32_t key)
    : def_(std::move(def)), owner_(owner) {
    def_->shape(*this);
    load(key);
}

AdmObjInstance::~AdmObjInstance() = default;

int32_t AdmObjInstance::classNumber() {
    return MemberTables::classNumber(MemberTables::AdmObjInstance);
}

bool AdmObjInstance::hasMember(const String& name) {
    return FunctionRegistry::instance().findFunctionIndex(classNumber(), name) >= 0;
}

int32_t AdmObjInstance::referenceValue(const RefDescription& d) const {
    const DataItem* cell = cellByName(d.column());
    return cell ? cell->toInt() : 0;
}

void AdmObjInstance::load(int32_t key) {
    bool found = key > 0 && def_->loadRow(key, *this);
    if (!found) {
        def_->shape(*this);
        key_ = 0;
    } else {
        key_ = key;
    }
    // The children that exist follow the row; the others load when asked.
    for (Sub& s : subs_) {
        s.loadedFor = referenceValue(*s.description);
        s.object->load(s.loadedFor);
    }
    for (List& l : lists_)
        l.object->load(key_);
}

int32_t AdmObjInstance::save() {
    int32_t id = key_;
    def_->saveRow(*this, id);
    key_ = id;
    for (List& l : lists_)
        l.object->save(key_);
    return key_;
}

AdmObjInstance* AdmObjInstance::subObject(TextRef column) {
    for (Sub& s : subs_) {
        if (s.description->column().view() != column.view()) continue;
        int32_t wanted = referenceValue(*s.description);
        if (wanted != s.loadedFor) {
            s.loadedFor = wanted;
            s.object->load(wanted);
        }
        return s.object.get();
    }
    const RefDescription* d = def_->findReference(column);
    if (!d || !d->table) return nullptr;
    int32_t wanted = referenceValue(*d);
    subs_.push_back(
        Sub{d, std::make_unique<AdmObjInstance>(d->table->share(), this, wanted), wanted});
    return subs_.back().object.get();
}

AdmObjExpanded* AdmObjInstance::collection(TextRef name) {
    for (List& l : lists_)
        if (l.description->name().view() == name.view()) return l.object.get();
    const RefDescription* d = def_->findList(name);
    if (!d || !d->table) return nullptr;
    lists_.push_back(List{d, std::make_unique<AdmObjExpanded>(*d, this)});
    lists_.back().object->load(key_);
    return lists_.back().object.get();
}

void AdmObjInstance::keyChanged() {
    if (auto* parent = dynamic_cast<AdmObjInstance*>(owner_)) parent->subKeyChanged(*this);
}

void AdmObjInstance::subKeyChanged(const AdmObjInstance& sub) {
    for (Sub& s : subs_) {
        if (s.object.get() != &sub) continue;
        // The column shows the row the sub-object holds now; a sub-object
        // without a stored row leaves no reference.
        DataItem* cell = cellByName(s.description->column());
        if (!cell) return;
        DataItem value;
        if (sub.key() != 0) value.setInt(sub.key());
        ObjectCollector::store(*cell, std::move(value));
        s.loadedFor = sub.key();
        return;
    }
}

void AdmObjInstance::referenceWritten(const String& path) {
    if (def_->findReference(path)) subObject(path);
}

void AdmObjInstance::reportOwned(OwnedParts& parts) {
    for (const Sub& s : subs_)
        parts.object(s.object.get());
    for (const List& l : lists_)
        parts.object(l.object.get());
    parts.value(&parent_);
    parts.value(&lastError_);
}

void AdmObjInstance::copyValues(const AdmObjInstance& other, bool withKey) {
    int keyColumn = def_->keyColumn();
    if (other.def_.get() == def_.get()) {
        for (int i = 0; i < count() && i < other.count(); ++i) {
            if (i == keyColumn && !withKey) continue;
            cell(i)->copyFrom(*other.cell(i));
        }
        if (withKey) key_ = other.key_;
        return;
    }
    // A row of another table: its columns are matched by name (the layouts
    // differ), and only a key read from the copied key cell means anything
    // for this table.
    for (int i = 0; i < count(); ++i) {
        if (i == keyColumn && !withKey) continue;
        const DataItem* source = other.cellByName(columnName(i));
        if (source) cell(i)->copyFrom(*source);
    }
    if (withKey && keyColumn >= 0 && keyColumn < count()) key_ = cell(keyColumn)->toInt();
}

Interfasable* AdmObjInstance::getMemberObject(const String& name) {
    int dot = name.findChar('.');
    if (dot < 0) return subObject(name);
    AdmObjInstance* sub = subObject(TextRef(name.view().substr(0, size_t(dot))));
    return sub ? sub->getMemberObject(name.mid(uint32_t(dot) + 1)) : nullptr;
}

DataItem* AdmObjInstance::getMemberItem(const String& name) {
    if (name == "lastError") return &lastError_;
    std::string_view n = name.view();
    size_t dot = n.find('.');
    if (dot == std::string_view::npos) return cellByName(name);
    std::string_view head = n.substr(0, dot);
    String rest(TextRef(n.substr(dot + 1)));
    size_t bracket = head.find('[');
    if (bracket == std::string_view::npos) {
        AdmObjInstance* sub = subObject(TextRef(head));
        return sub ? sub->getMemberItem(rest) : nullptr;
    }
    size_t close = head.find(']', bracket);
    if (close == std::string_view::npos) return nullptr;
    AdmObjExpanded* list = collection(TextRef(head.substr(0, bracket)));
    if (!list) return nullptr;
    String index(TextRef(head.substr(bracket + 1, close - bracket - 1)));
    AdmObjInstance* row = index.isEmpty() ? list->current() : list->at(index.toInt());
    return row ? row->getMemberItem(rest) : nullptr;
}

DataItem AdmObjInstance::execute(const String& name, const DataRow* args) {
    int dot = -1;
    for (int i = int(name.length()) - 1; i >= 0; --i)
        if (name.view()[size_t(i)] == '.') {
            dot = i;
            break;
        }
    if (dot >= 0) {
        Interfasable* sub = getMemberObject(name.left(uint32_t(dot)));
        if (!sub)
            throw GeneralException::format("AdmObjInstance execute function(%s): bad member object",
                                           name.c_str());
        return sub->execute(name.mid(uint32_t(dot) + 1), args);
    }
    int32_t index = FunctionRegistry::instance().findFunctionIndex(classNumber(), name);
    if (index < 0)
        throw GeneralException::format("Not such function: %s.%s", name.c_str(),
                                       def_->name().c_str());
    switch (index) {
        case SetInstance:
            load(ScriptArgs::toInt(args, 0));
            keyChanged();
            return DataItem();
        case GetAdmObj:
            return reference(this);
        case SetNewInstance:
            load(0);
            keyChanged();
            return DataItem();
        case HasMember: {
            DataItem b;
            b.setBool(hasColumn(ScriptArgs::text(args, 0)));
            return b;
        }
        case GetMember: {
            DataItem* item = getMemberItem(ScriptArgs::text(args, 0));
            return item ? DataItem(*item) : DataItem();
        }
        case SetMember: {
            String member = ScriptArgs::text(args, 0);
            DataItem* item = getMemberItem(member);
            if (!item)
                throw GeneralException::format("AdmObjInstance.setMember: %s no existe",
                                               member.c_str());
            DataItem value(ScriptArgs::value(args, 1));
            ObjectCollector::store(*item, std::move(value));
            referenceWritten(member);
            return DataItem();
        }
        case Serialize: {
            int32_t key = save();
            keyChanged();
            return DataItem(key);
        }
        case From: {
            const DataItem& source = ScriptArgs::value(args, 0);
            Interfasable* object = source.type() == DataItem::TObj ? source.getObj() : nullptr;
            if (!object) return DataItem();
            DataItem got = object->execute("getAdmObj", nullptr);
            auto* other = got.type() == DataItem::TObj ? dynamic_cast<AdmObjInstance*>(got.getObj())
                                                       : nullptr;
            bool withKey = ScriptArgs::has(args, 1) && ScriptArgs::toBool(args, 1);
            if (other && other != this) {
                copyValues(*other, withKey);
                if (withKey) keyChanged();
            }
            return DataItem();
        }
        case GetParent:
            return parent_;
        case SetParent: {
            // Anything but an object leaves no parent (an empty value, as
            // before the first "setParent").
            const DataItem& p = ScriptArgs::value(args, 0);
            Interfasable* object = p.type() == DataItem::TObj ? p.getObj() : nullptr;
            parent_ = object ? reference(object) : DataItem();
            return DataItem();
        }
        case Search:
        case Catalog:
        case FindDoc:
        case AddInstance:
            return DataItem();
        case InsertOrReplaceStr: {
            const DataItem& source = ScriptArgs::value(args, 0);
            Interfasable* object = source.type() == DataItem::TObj ? source.getObj() : nullptr;
            if (!object) return DataItem("");
            DataItem got = object->execute("getDataRow", nullptr);
            DataRow* row = nullptr;
            if (got.type() == DataItem::TRef && got.refKind() != DataItem::RefKind::Variable)
                row = DataRow::rowFromRef(got);
            else if (got.type() == DataItem::TObj)
                row = dynamic_cast<DataRow*>(got.getObj());
            if (!row) return DataItem("");
            return DataItem(def_->model().insertSql(*row, true));
        }
        default:
            throw GeneralException::format("Function not implemented: AdmObjInstance.%s",
                                           name.c_str());
    }
}

}  // namespace VORLIN
