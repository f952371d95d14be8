#include "script/OCText.h"

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "script/ObjectCollector.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

// The text of a variable or of its object's member; null when the member
// does not exist.
const DataItem* sourceItem(Variable* v, const String& path) {
    const DataItem& value = Variable::follow(v->value());
    if (path.isEmpty()) return &value;
    if (value.type() != DataItem::TObj || !value.getObj()) return nullptr;
    return value.getObj()->getMemberItem(path);
}

}  // namespace

bool OCConcat::run(int&) {
    DataItem& into = concat_->value();
    String text = into.isNull() ? String() : into.text();
    if (isConstant_) {
        text.append(constant_.text());
    } else {
        const DataItem* item = source_ ? sourceItem(source_, path_) : nullptr;
        if (!item) {
            String m;
            m.format("Concatenar: %s no es miembro de %s.", path_.c_str(),
                     source_ ? source_->name().c_str() : "");
            return fail(m);
        }
        text.append(item->text());
    }
    ObjectCollector::store(into, DataItem(text));
    return true;
}

String OCConcat::listing(const String& prefix) const {
    String s = prefix;
    s.append("    CONCAT ");
    if (isConstant_) {
        s.append('"');
        s.append(constant_.text());
        s.append('"');
    } else if (source_) {
        s.append(source_->name());
        if (!path_.isEmpty()) {
            s.append('.');
            s.append(path_);
        }
    }
    return s;
}

String OCSubstitute::substitute(const String& templ, const std::vector<String>& texts) {
    std::string_view t = templ.view();
    String out;
    size_t i = 0;
    while (i < t.size()) {
        if (t[i] == '_' && i + 2 < t.size() && t[i + 1] >= '0' && t[i + 1] <= '9') {
            size_t j = i + 1;
            size_t n = 0;
            while (j < t.size() && t[j] >= '0' && t[j] <= '9' && n < 100000) {
                n = n * 10 + size_t(t[j] - '0');
                ++j;
            }
            if (j < t.size() && t[j] == '_' && n < texts.size()) {
                out.append(texts[n]);
                i = j + 1;
                continue;
            }
        }
        out.append(t[i]);
        ++i;
    }
    return out;
}

bool OCSubstitute::run(int&) {
    std::vector<String> texts;
    texts.reserve(sources_.size());
    for (const Source& s : sources_) {
        if (!s.first) throw GeneralException::format("Substitute error: %s", s.second.c_str());
        const DataItem* item = sourceItem(s.first, s.second);
        if (!item)
            throw GeneralException::format("Substitute error: %s no es miembro de %s",
                                           s.second.c_str(), s.first->name().c_str());
        texts.push_back(item->text());
    }
    write(DataItem(substitute(template_, texts)));
    return true;
}

String OCSubstitute::listing(const String& prefix) const {
    String s = prefix;
    s.append("    SET ");
    s.append(targetName());
    s.append(" = \"");
    s.append(template_);
    s.append('"');
    for (size_t i = 0; i < sources_.size(); ++i) {
        s.append(i == 0 ? " WITH " : ", ");
        if (sources_[i].first) s.append(sources_[i].first->name());
        if (!sources_[i].second.isEmpty()) {
            s.append('.');
            s.append(sources_[i].second);
        }
    }
    return s;
}

}  // namespace VORLIN
