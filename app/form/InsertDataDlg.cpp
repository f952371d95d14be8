#include "app/form/InsertDataDlg.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/GeneralException.h"
#include "ui/ImageStore.h"
#include "ui/MsgBox.h"

namespace VORLIN {

namespace {

QString q(const String& s) { return QString::fromUtf8(s.c_str(), int(s.length())); }
String s(const QString& t) { return String(t.toUtf8().toStdString()); }

// The day before every real date: the editor's "no value".
const QDate kNoDate(1752, 9, 14);

}  // namespace

InsertDataDlg::InsertDataDlg(DbConnection& connection, const String& table, QWidget* parent)
    : QDialog(parent), form_(std::make_unique<InsertForm>(connection, table)) {
    setWindowTitle(q(form_->title()));
    setAccessibleName(q(form_->title()));
    setModal(true);

    auto* fields = new QWidget;
    auto* grid = new QFormLayout(fields);
    grid->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const InsertForm::Field& f : form_->fields()) {
        QWidget* control = nullptr;
        const QString name = q(f.name);
        switch (f.control) {
            case InsertForm::Control::Check: {
                auto* box = new QCheckBox(q(f.label));
                box->setTristate(f.nullable);
                control = box;
                grid->addRow(QString(), box);
                break;
            }
            case InsertForm::Control::Date:
            case InsertForm::Control::DateTime: {
                QDateTimeEdit* edit = f.control == InsertForm::Control::Date
                                          ? new QDateEdit
                                          : new QDateTimeEdit;
                edit->setCalendarPopup(true);
                edit->setDisplayFormat(f.control == InsertForm::Control::Date
                                           ? QStringLiteral("yyyy-MM-dd")
                                           : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                if (f.canBeEmpty()) {
                    edit->setMinimumDate(kNoDate);
                    edit->setSpecialValueText(QString::fromUtf8(kNoValue));
                }
                control = edit;
                auto* label = new QLabel(q(f.label));
                label->setBuddy(edit);
                grid->addRow(label, edit);
                break;
            }
            case InsertForm::Control::Text: {
                auto* edit = new QLineEdit;
                const char* allowed = InsertForm::allowed(f.filter);
                if (*allowed) {
                    const QString pattern = QStringLiteral("[") +
                                            QRegularExpression::escape(QString::fromLatin1(allowed)) +
                                            QStringLiteral("]*");
                    edit->setValidator(
                        new QRegularExpressionValidator(QRegularExpression(pattern), edit));
                }
                if (f.expression) edit->setPlaceholderText(QStringLiteral("(valor de la base de datos)"));
                control = edit;
                auto* label = new QLabel(q(f.label));
                label->setMinimumWidth(120);
                label->setBuddy(edit);
                grid->addRow(label, edit);
                break;
            }
        }
        control->setAccessibleName(name);
        control->setToolTip(q(f.type));
        controls_.push_back(control);
    }

    auto* scroll = new QScrollArea;
    scroll->setWidget(fields);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto* buttons = new QDialogButtonBox;
    QPushButton* save = buttons->addButton(QString::fromUtf8(InsertForm::kRegister),
                                           QDialogButtonBox::ActionRole);
    save->setToolTip(QString::fromUtf8(InsertForm::kRegisterHint));
    save->setAccessibleName(QString::fromUtf8(InsertForm::kRegister));
    save->setIcon(ImageStore::icon("SAVE"));
    save->setDefault(true);
    save->setObjectName(QStringLiteral("Registrar"));
    QPushButton* exit =
        buttons->addButton(QString::fromUtf8(InsertForm::kExit), QDialogButtonBox::RejectRole);
    exit->setToolTip(QString::fromUtf8(InsertForm::kExitHint));
    exit->setAccessibleName(QString::fromUtf8(InsertForm::kExit));
    exit->setIcon(ImageStore::icon("CANCEL"));
    exit->setObjectName(QStringLiteral("Salir"));
    connect(save, &QPushButton::clicked, this, [this] { registerRow(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(buttons);
    resize(460, std::min(640, 120 + 34 * int(controls_.size())));
    reset();
}

InsertDataDlg::~InsertDataDlg() = default;

QWidget* InsertDataDlg::control(int index) const {
    return index >= 0 && size_t(index) < controls_.size() ? controls_[size_t(index)] : nullptr;
}

void InsertDataDlg::reset() {
    const auto& fields = form_->fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const InsertForm::Field& f = fields[i];
        QWidget* c = controls_[i];
        if (auto* box = qobject_cast<QCheckBox*>(c)) {
            if (f.initial.isEmpty())
                box->setCheckState(f.nullable ? Qt::PartiallyChecked : Qt::Unchecked);
            else
                box->setCheckState(f.initial == "0" ? Qt::Unchecked : Qt::Checked);
        } else if (auto* edit = qobject_cast<QDateTimeEdit*>(c)) {
            QDateTime value = QDateTime::fromString(q(f.initial), Qt::ISODate);
            if (!value.isValid()) value = QDateTime(QDate::fromString(q(f.initial), Qt::ISODate), QTime());
            if (value.isValid())
                edit->setDateTime(value);
            else if (f.canBeEmpty())
                edit->setDate(kNoDate);
            else
                edit->setDateTime(QDateTime::currentDateTime());
        } else if (auto* line = qobject_cast<QLineEdit*>(c)) {
            line->setText(q(f.initial));
        }
    }
    if (!controls_.empty()) controls_.front()->setFocus();
}

std::vector<InsertForm::Value> InsertDataDlg::values() const {
    std::vector<InsertForm::Value> values;
    for (QWidget* c : controls_) {
        InsertForm::Value v;
        if (auto* box = qobject_cast<QCheckBox*>(c)) {
            v.empty = box->checkState() == Qt::PartiallyChecked;
            v.text = box->checkState() == Qt::Checked ? "1" : "0";
        } else if (auto* date = qobject_cast<QDateEdit*>(c)) {
            v.empty = date->date() == kNoDate;
            v.text = s(date->date().toString(QStringLiteral("yyyy-MM-dd")));
        } else if (auto* stamp = qobject_cast<QDateTimeEdit*>(c)) {
            v.empty = stamp->date() == kNoDate;
            v.text = s(stamp->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        } else if (auto* line = qobject_cast<QLineEdit*>(c)) {
            v.text = s(line->text());
            v.empty = line->text().isEmpty();
        }
        if (v.empty) v.text = String();
        values.push_back(v);
    }
    return values;
}

bool InsertDataDlg::registerRow() {
    try {
        form_->registerRow(values());
    } catch (const GeneralException& e) {
        MsgBox::error(String(e.message()));
        return false;
    }
    MsgBox::info(InsertForm::kDone);
    reset();
    return true;
}

}  // namespace VORLIN
