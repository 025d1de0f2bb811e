#pragma once
// "Datenbank...": where the firm data, the addresses and the offer register are kept. "Nur dieser
// PC" is the file pyrelto.db in the program data folder; "Gemeinsame Datenbank (PostgreSQL)" is a
// server the firm's PCs share, given by host, port, database and user. The password is never
// asked for or stored: libpq reads it from the user's pgpass file or a pg_service.conf service,
// which the dialog explains. "Verbindung testen" connects with what the form holds.

#include "program_store.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QPushButton;

namespace pyrelto {

class DatabaseDialog final : public QDialog {
public:
    explicit DatabaseDialog(const DatabaseChoice& choice, QWidget* parent = nullptr);

    // The choice as the form holds it.
    DatabaseChoice choice() const;

    // Connects to the chosen database (at most the connect timeout) and says in resultLabel
    // whether that worked, with the reason when not.
    void testConnection();

    // Refuses a server choice without a host.
    void accept() override;

    QRadioButton* localButton = nullptr;
    QRadioButton* serverButton = nullptr;
    QLineEdit* hostEdit = nullptr;
    QSpinBox* portSpin = nullptr;
    QLineEdit* databaseEdit = nullptr;
    QLineEdit* userEdit = nullptr;
    QComboBox* tlsBox = nullptr;
    QPushButton* testButton = nullptr;
    QLabel* resultLabel = nullptr;
    QLabel* passwordLabel = nullptr;

private:
    void serverChosen(bool server);
};

} // namespace pyrelto
