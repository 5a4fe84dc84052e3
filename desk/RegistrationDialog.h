#pragma once

#include <QDialog>

namespace regdesk {

class AdoDatabase;
class Prompter;

// The full registration form. It opens the process's database connection
// when it first shows; without a database it tells the clerk and closes.
class RegistrationDialog : public QDialog
{
    Q_OBJECT

public:
    RegistrationDialog(AdoDatabase& database, Prompter& prompter, QWidget* parent = nullptr);
    ~RegistrationDialog() override;

    // Runs the form's initialisation; false when the form must close again.
    bool initialise();

protected:
    void showEvent(QShowEvent* event) override;

private:
    AdoDatabase& m_database;
    Prompter& m_prompter;
    bool m_initialised = false;
};

} // namespace regdesk
