// InsertDataDlg: the modal window "Insertar datos - alias.table" that
// enters rows into a table through the form InsertForm generates: one
// control per column (text fields with their input filter as a validator,
// date or date-and-time editors, check boxes), "Registrar" and "Salir".
// Nullable date editors and check boxes can say "no value" (the editor's
// "(sin valor)" and the check box's middle state).
//
// After "Registrar" the fields go back to their starting values and the
// first field takes the focus; a failure keeps what was entered.
//
// Ownership: the connection is the caller's. Threads: the UI thread.
// Throws GeneralException from the constructor when the table cannot be
// described.
#pragma once

#include <memory>
#include <vector>

#include <QDialog>

#include "app/form/InsertForm.h"

class QWidget;

namespace VORLIN {

class InsertDataDlg : public QDialog {
public:
    static constexpr const char* kNoValue = "(sin valor)";

    InsertDataDlg(DbConnection& connection, const String& table, QWidget* parent = nullptr);
    ~InsertDataDlg() override;

    InsertForm& form() noexcept { return *form_; }
    // The control of field `index` (a QLineEdit, QDateEdit, QDateTimeEdit
    // or QCheckBox).
    QWidget* control(int index) const;
    // What the controls hold now.
    std::vector<InsertForm::Value> values() const;
    // "Registrar"; true when the row went in.
    bool registerRow();
    void reset();

private:
    std::unique_ptr<InsertForm> form_;
    std::vector<QWidget*> controls_;
};

}  // namespace VORLIN
